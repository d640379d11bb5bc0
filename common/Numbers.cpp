#include "common/Numbers.h"

#include <QRegularExpression>
#include <cfenv>
#include <cmath>

namespace {

QString stripBlanks(const QString& text) {
    qsizetype b = 0, e = text.size();
    while (b < e && (text[b] == u' ' || text[b] == u'\t'))
        ++b;
    while (e > b && (text[e - 1] == u' ' || text[e - 1] == u'\t'))
        --e;
    return text.mid(b, e - b);
}

bool parse(const QString& text, double* out) {
    static const QRegularExpression literal(
        QStringLiteral("^[+-]?(?:[0-9]+\\.?[0-9]*|\\.[0-9]+)(?:[eE][+-]?[0-9]+)?$"));
    const QString t = stripBlanks(text);
    if (!literal.match(t).hasMatch())
        return false;
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    if (out)
        *out = v;
    return true;
}

} // namespace

bool IsNumber(const QString& text) {
    return parse(text, nullptr);
}

double TextToDouble(const QString& text) {
    double v = 0;
    if (!parse(text, &v))
        throw ConversionError("数値ではありません: '" + text.toStdString() + "'");
    return v;
}

qint16 DoubleToInt16(double value) {
    // nearbyint rounds in the current mode, which is to-nearest-even by default.
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(value);
    std::fesetround(saved);
    if (!(r >= -32768.0 && r <= 32767.0))
        throw ConversionError("-32768～32767 の整数になりません: " +
                              DoubleToText(value).toStdString());
    return qint16(r);
}

qint16 TextToInt16(const QString& text) {
    return DoubleToInt16(TextToDouble(text));
}

QString DoubleToText(double value) {
    if (value == 0)
        return QStringLiteral("0");
    QString s = QString::number(value, 'g', 15);
    // Qt writes exponents as e+20 / e-05; the standard form writes E+20 / E-05.
    s.replace(u'e', u'E');
    return s;
}

QString NumericLiteral(const QString& typed) {
    if (!parse(typed, nullptr))
        throw ConversionError("数値ではありません: '" + typed.toStdString() + "'");
    return stripBlanks(typed);
}

qint64 IdNumber(const QString& id) {
    bool ok = false;
    const int value = NumericLiteral(id).toInt(&ok);
    if (!ok || value < 1 || value > 32767)
        throw ConversionError(("not an id: " + id).toStdString());
    return value;
}
