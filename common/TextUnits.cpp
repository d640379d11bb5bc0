#include "common/TextUnits.h"

#include <QTextBoundaryFinder>

namespace {
// Offsets of every character boundary after the start, in order.
QList<qsizetype> boundaries(const QString& text) {
    QList<qsizetype> result;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    while (finder.toNextBoundary() != -1)
        result.append(finder.position());
    return result;
}
} // namespace

qsizetype CharacterCount(const QString& text) {
    return boundaries(text).size();
}

QString LeftCharacters(const QString& text, qsizetype count) {
    if (count <= 0)
        return QString();
    const QList<qsizetype> b = boundaries(text);
    if (count >= b.size())
        return text;
    return text.left(b[count - 1]);
}

QStringList SplitCharacters(const QString& text, qsizetype count) {
    QStringList pieces;
    if (count <= 0)
        return pieces;
    const QList<qsizetype> b = boundaries(text);
    qsizetype start = 0;
    for (qsizetype i = count - 1; i < b.size(); i += count) {
        pieces.append(text.mid(start, b[i] - start));
        start = b[i];
    }
    if (start < text.size())
        pieces.append(text.mid(start));
    return pieces;
}
