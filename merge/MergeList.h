// A merge list: the records of a CSV or tab-separated file whose first line
// names the columns, read for filling a template's fields record by record.
//
// The file is parsed by libcsv (quoted fields, doubled quotes, line breaks
// inside quotes), blanks around fields kept as they are. The bytes are UTF-8
// when they start with a UTF-8 byte-order mark or are valid UTF-8 throughout,
// otherwise Shift_JIS as Windows writes it (CP932), unless the user chose
// one. Nothing that does not decode is replaced: it is a failure naming the
// line where its record starts.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <stdexcept>

enum class MergeEncoding { Auto, Utf8, ShiftJis };

// A merge file that cannot be used, with the cause (and the line where it
// was found) in the user's words.
class MergeError : public std::runtime_error {
public:
    explicit MergeError(const QString& cause) : std::runtime_error(cause.toStdString()) {}
};

struct MergeList {
    // The most records one list may hold.
    static constexpr int MaxRecords = 10000;

    QStringList columns;
    // One value per column; a record shorter than the header is filled with
    // empty values. A line break inside a value is "\n".
    QList<QStringList> records;
    // The encoding the bytes were read in: Utf8 or ShiftJis, never Auto.
    MergeEncoding encoding = MergeEncoding::Utf8;
};

// Reads `path`: commas for a .csv file, tabs for .tsv and .txt (as
// spreadsheet programs save tab-separated text). Throws MergeError when the
// file cannot be read, is empty, has a header without names or no record, a record with
// more fields than the header, more than MaxRecords records, or bytes that do
// not decode in the encoding.
MergeList ReadMergeList(const QString& path, MergeEncoding encoding);
// The same for bytes already read, separated by `delimiter`.
MergeList ParseMergeList(const QByteArray& bytes, char delimiter, MergeEncoding encoding);

// How an encoding is stored with a template and named in the list "文字コード".
QString EncodingKey(MergeEncoding encoding);       // "auto", "utf-8", "shift_jis"
MergeEncoding EncodingFromKey(const QString& key); // anything else: Auto
