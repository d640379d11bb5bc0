#include "merge/MergeList.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <csv.h>

namespace {

const QByteArray Utf8Bom("\xEF\xBB\xBF");

// Windows' Shift_JIS (CP932), through Qt's ICU codecs: NEC and IBM
// extensions such as ①, ㈱ and 髙 decode as Windows writes them.
constexpr const char* Cp932Name = "windows-31j";

QString encodingName(MergeEncoding encoding) {
    return encoding == MergeEncoding::ShiftJis ? QStringLiteral("Shift_JIS")
                                               : QStringLiteral("UTF-8");
}

QString atLine(qsizetype line, const QString& cause) {
    return QStringLiteral("%1 行目: %2").arg(line).arg(cause);
}

// One record as libcsv hands it over: the raw bytes of its fields and the
// line where it starts.
struct RawRecord {
    qsizetype line = 0;
    QList<QByteArray> fields;
};

// What the parser's callbacks collect. They run inside libcsv's C code, so
// they only gather; everything that can fail runs after csv_parse returns.
struct Collector {
    QList<QByteArray> fields;
    QList<RawRecord> done;
    qsizetype line = 0; // where the record being read started
    bool awaitingRecord = true;

    static void field(void* bytes, size_t size, void* data) {
        static_cast<Collector*>(data)->fields.append(
            QByteArray(static_cast<const char*>(bytes), qsizetype(size)));
    }
    static void record(int, void* data) {
        auto* self = static_cast<Collector*>(data);
        self->done.append({self->line, std::move(self->fields)});
        self->fields.clear();
        self->awaitingRecord = true;
    }
};

// libcsv's parser, freed however reading ends.
class CsvParser {
public:
    explicit CsvParser(char delimiter) {
        if (csv_init(&parser_, CSV_STRICT | CSV_STRICT_FINI) != 0)
            throw MergeError(QStringLiteral("ファイルを読み込むためのメモリが足りません。"));
        csv_set_delim(&parser_, static_cast<unsigned char>(delimiter));
        // Blanks around a value are part of it.
        csv_set_space_func(&parser_, [](unsigned char) { return 0; });
    }
    ~CsvParser() { csv_free(&parser_); }
    CsvParser(const CsvParser&) = delete;
    CsvParser& operator=(const CsvParser&) = delete;
    csv_parser* get() { return &parser_; }

private:
    csv_parser parser_{};
};

// Turns raw records into the list: the header first, then the records, each
// decoded field by field; stops at the first fault.
class ListBuilder {
public:
    explicit ListBuilder(MergeEncoding encoding)
        : decoder_(encoding == MergeEncoding::ShiftJis
                       ? QStringDecoder(Cp932Name, QStringDecoder::Flag::Stateless)
                       : QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless)),
          encoding_(encoding) {
        if (!decoder_.isValid())
            throw MergeError(
                QStringLiteral("文字コード %1 を扱えません。").arg(encodingName(encoding)));
        list_.encoding = encoding;
    }

    void Add(const RawRecord& raw) {
        QStringList values;
        values.reserve(raw.fields.size());
        for (const QByteArray& bytes : raw.fields)
            values.append(decode(bytes, raw.line));
        if (!headerRead_) {
            headerRead_ = true;
            // Blanks around a column name are not part of it: fields name
            // columns without them.
            bool named = false;
            for (QString& name : values) {
                name = name.trimmed();
                named = named || !name.isEmpty();
            }
            if (!named)
                throw MergeError(
                    atLine(raw.line, QStringLiteral("見出しの行に列名がありません。")));
            list_.columns = values;
            return;
        }
        if (values.size() > list_.columns.size())
            throw MergeError(atLine(
                raw.line, QStringLiteral("項目が %1 個あり、見出しの列数 %2 より多くなっています。")
                              .arg(values.size())
                              .arg(list_.columns.size())));
        if (list_.records.size() >= MergeList::MaxRecords)
            throw MergeError(atLine(
                raw.line,
                QStringLiteral("レコードが %1 件を超えています。読み込めるのは %1 件までです。")
                    .arg(MergeList::MaxRecords)));
        while (values.size() < list_.columns.size())
            values.append(QString());
        list_.records.append(values);
    }

    bool HeaderRead() const { return headerRead_; }
    MergeList Take() { return std::move(list_); }

private:
    QString decode(const QByteArray& bytes, qsizetype line) {
        QString text = decoder_.decode(bytes);
        // Checked after every field: the first fault ends the reading.
        if (decoder_.hasError())
            throw MergeError(
                atLine(line, QStringLiteral("文字コード %1 として読めない文字があります。")
                                 .arg(encodingName(encoding_))));
        // A line break inside a quoted value, CR LF or CR alone, is one "\n".
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        return text;
    }

    QStringDecoder decoder_;
    MergeEncoding encoding_;
    MergeList list_;
    bool headerRead_ = false;
};

bool isLineEnd(char c) {
    return c == '\n' || c == '\r';
}

QString parseFailure(csv_parser* parser) {
    return csv_error(parser) == CSV_EPARSE
               ? QStringLiteral("引用符 (\") の使い方が正しくありません。")
               : QStringLiteral("ファイルを読み込むためのメモリが足りません。");
}

} // namespace

MergeList ParseMergeList(const QByteArray& bytes, char delimiter, MergeEncoding encoding) {
    QByteArrayView data(bytes);
    if (encoding == MergeEncoding::Auto) {
        if (data.startsWith(Utf8Bom))
            encoding = MergeEncoding::Utf8;
        else {
            QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            const QString text = utf8.decode(data); // decoding is lazy: convert it
            encoding = utf8.hasError() ? MergeEncoding::ShiftJis : MergeEncoding::Utf8;
        }
    }
    // The byte-order mark belongs to no value (the first column's name would
    // otherwise start with U+FEFF).
    if (encoding == MergeEncoding::Utf8 && data.startsWith(Utf8Bom))
        data = data.sliced(Utf8Bom.size());

    CsvParser parser(delimiter);
    Collector collector;
    ListBuilder builder(encoding);
    auto flush = [&] {
        for (const RawRecord& raw : std::as_const(collector.done))
            builder.Add(raw);
        collector.done.clear();
    };

    // The bytes go to the parser in pieces that end at each CR or LF: a
    // record can only end at one, so a piece that starts with anything else
    // while no record is open starts the next record, on the line counted so
    // far. Neither byte is ever part of a CP932 character, so the pieces never
    // cut one.
    qsizetype line = 1;
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = start;
        while (end < data.size() && !isLineEnd(data[end]))
            ++end;
        if (end < data.size())
            ++end; // the line end goes with the piece
        const QByteArrayView piece = data.sliced(start, end - start);
        if (collector.awaitingRecord && !isLineEnd(piece.front())) {
            collector.awaitingRecord = false;
            collector.line = line;
        }
        const size_t parsed = csv_parse(parser.get(), piece.data(), size_t(piece.size()),
                                        Collector::field, Collector::record, &collector);
        flush();
        if (parsed != size_t(piece.size()))
            throw MergeError(atLine(line, parseFailure(parser.get())));
        if (piece.back() == '\n')
            ++line;
        start = end;
    }
    if (csv_fini(parser.get(), Collector::field, Collector::record, &collector) != 0) {
        // Only a quote left open reaches the end in strict mode.
        throw MergeError(
            atLine(collector.line,
                   csv_error(parser.get()) == CSV_EPARSE
                       ? QStringLiteral("引用符 (\") が閉じられないままファイルが終わっています。")
                       : parseFailure(parser.get())));
    }
    flush();
    if (!builder.HeaderRead())
        throw MergeError(QStringLiteral("ファイルが空です。"));
    MergeList list = builder.Take();
    // A list of names alone fills no sheet.
    if (list.records.isEmpty())
        throw MergeError(QStringLiteral("見出しの行のほかにレコードがありません。"));
    return list;
}

MergeList ReadMergeList(const QString& path, MergeEncoding encoding) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw MergeError(
            QStringLiteral("ファイル %1 を読み込めません (%2)。").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw MergeError(
            QStringLiteral("ファイル %1 を読み込めません (%2)。").arg(path, file.errorString()));
    const QString suffix = QFileInfo(path).suffix().toLower();
    const char delimiter =
        suffix == QLatin1String("tsv") || suffix == QLatin1String("txt") ? '\t' : ',';
    return ParseMergeList(bytes, delimiter, encoding);
}

QString EncodingKey(MergeEncoding encoding) {
    switch (encoding) {
    case MergeEncoding::Utf8:
        return QStringLiteral("utf-8");
    case MergeEncoding::ShiftJis:
        return QStringLiteral("shift_jis");
    case MergeEncoding::Auto:
        break;
    }
    return QStringLiteral("auto");
}

MergeEncoding EncodingFromKey(const QString& key) {
    if (key == QLatin1String("utf-8"))
        return MergeEncoding::Utf8;
    if (key == QLatin1String("shift_jis"))
        return MergeEncoding::ShiftJis;
    return MergeEncoding::Auto;
}
