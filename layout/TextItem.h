// A text item placed on a page: its text, font size, box in millimetres from
// the paper's top-left corner, characters per line, lines and alignment.
#pragma once

#include <QString>
#include <QtGlobal>
#include <array>

// A text item with its numbers as printing takes them.
struct TextItem {
    QString moji;
    double pSize = 0;  // points
    double pLeft = 0;  // millimetres from the paper's left edge
    double pRight = 0; // millimetres from the paper's left edge
    double pTop = 0;   // millimetres from the paper's top edge
    qint16 pColCount = 0;
    qint16 pRowCount = 0;
    qint16 pPosition = 0; // alignment code: 0 left, 1 centre, 2 right; any other prints as left
    // Set where merged values may hold line breaks: each "\n" ends its
    // printed line there, and the characters-per-line cut starts afresh.
    bool breakLines = false;
};

// A text item as the item grid shows and saves it: its numbers as texts.
struct TextItemTexts {
    enum Number { Size, Left, Right, Top, ColCount, RowCount };
    static constexpr int NumberCount = 6;

    QString text;
    // Each number as shown: a REAL by the standard double form, a whole
    // number by the 16-bit rule. When saved, each must be a plain number.
    std::array<QString, NumberCount> numbers;
    // A stored REAL that its shown text would not give back, at full
    // precision, so that an unedited cell writes it back unchanged; empty
    // where the shown text is exact. Only read from the database, never saved.
    std::array<QString, NumberCount> exact;
    qint16 align = -1;
};
