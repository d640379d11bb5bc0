// Start-up cost on a full database: how long the start-up work (backup,
// compaction, exclusive open with the form file) takes on a data.vsk filled to the id limits,
// next to two plain copies of the same file and to the sqlcipher shell's own
// keyed export of it.
//
//   bench_startup [DELIVERED_DATA_VSK]
//
// The database is built in a temporary folder (under TMPDIR when set) from a
// copy of the delivered empty data.vsk: by default the one this build wrote.
#include "common/LayoutFiles.h"
#include "layout/FormStore.h"
#include "platform/Database.h"
#include "platform/Engine.h"
#include "start/StartUp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <random>
#include <sqlite3.h>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

#ifndef VESK_DELIVERED_DB
#define VESK_DELIVERED_DB "build/delivered/data.vsk"
#endif

namespace {

constexpr int IdLimit = 32767;
constexpr int Runs = 5;
constexpr int TextLength = 40;

using Clock = std::chrono::steady_clock;

[[noreturn]] void die(const std::string& what) {
    std::fprintf(stderr, "bench_startup: %s\n", what.c_str());
    std::exit(1);
}

void check(sqlite3* db, int rc, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        die(std::string(what) + ": " + sqlite3_errmsg(db));
}

sqlite3* openKeyed(const QString& path) {
    sqlite3* db = nullptr;
    const QByteArray file = QFile::encodeName(path);
    if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        die("cannot open " + path.toStdString() + ": " + (db ? sqlite3_errmsg(db) : "no memory"));
    const QByteArray key = Database::PasswordOf(LayoutFiles::Connect).toUtf8();
    check(db, sqlite3_key(db, key.constData(), int(key.size())), "key");
    return db;
}

void exec(sqlite3* db, const char* sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        const std::string msg = err ? err : sqlite3_errmsg(db);
        sqlite3_free(err);
        die(std::string(sql) + ": " + msg);
    }
}

long long count(sqlite3* db, const char* table) {
    sqlite3_stmt* stmt = nullptr;
    const std::string sql = std::string("SELECT count(*) FROM ") + table;
    check(db, sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), "prepare count");
    check(db, sqlite3_step(stmt), "count");
    const long long n = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return n;
}

// Every table must hold its IdLimit rows, and the texts their 40 characters:
// a run that timed a failure or an empty file would measure nothing.
void requireFull(const QString& path) {
    sqlite3* db = openKeyed(path);
    for (const char* table : {"template", "page", "moji"}) {
        if (count(db, table) != IdLimit)
            die(path.toStdString() + ": table " + table + " does not hold " +
                std::to_string(IdLimit) + " rows");
    }
    sqlite3_stmt* stmt = nullptr;
    check(db, sqlite3_prepare_v2(db, "SELECT moji FROM moji WHERE moji_id = ?", -1, &stmt, nullptr),
          "prepare text");
    sqlite3_bind_int(stmt, 1, IdLimit);
    check(db, sqlite3_step(stmt), "text");
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    if (text.size() != TextLength)
        die(path.toStdString() + ": the last item's text is not 40 characters");
}

// Japanese text of the kind printed on forms: names, addresses, slips.
const QString Pool =
    QStringLiteral("東京都千代田区丸の内一丁目二番三号　株式会社山田商事　経理部御中　"
                   "請求書在中　ご請求金額　下記の通りご請求申し上げます　お支払期限　"
                   "振込先　みずほ銀行　本店営業部　普通預金　口座番号　大阪府大阪市北区梅田"
                   "三丁目四番五号　有限会社さくら物産　営業課　佐藤花子様　納品書　受領書　"
                   "品名　数量　単価　金額　小計　消費税　合計　備考　毎度ありがとうございます　"
                   "神奈川県横浜市西区みなとみらい二丁目　合同会社青葉工業　総務部　鈴木一郎様　");

QString textAt(int i, int length) {
    QString s;
    s.reserve(length);
    const int start = int((qint64(i) * 37) % Pool.size());
    for (int k = 0; k < length; ++k)
        s += Pool.at((start + k) % Pool.size());
    return s;
}

// Permutes 1..IdLimit, so that each parent holds exactly one child but the
// foreign keys do not run in step with the ids.
int scatter(int i) {
    return int((qint64(i - 1) * 7919) % IdLimit) + 1;
}

void fill(const QString& path) {
    sqlite3* db = openKeyed(path);
    std::mt19937 random(4817);
    auto uniform = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };
    const double sizes[] = {9, 10.5, 11, 12, 14, 16};
    const int papers[] = {1, 1, 1, 0, 2, 4}; // size codes: mostly A4; A3, A5, B5

    exec(db, "BEGIN");
    sqlite3_stmt* t = nullptr;
    sqlite3_stmt* p = nullptr;
    sqlite3_stmt* m = nullptr;
    check(db,
          sqlite3_prepare_v2(db, "INSERT INTO template (template_id, template_name) VALUES (?, ?)",
                             -1, &t, nullptr),
          "prepare template");
    check(db,
          sqlite3_prepare_v2(db,
                             "INSERT INTO page (page_id, template_id, page_no, paper_direction, "
                             "paper_size) VALUES (?, ?, ?, ?, ?)",
                             -1, &p, nullptr),
          "prepare page");
    check(db,
          sqlite3_prepare_v2(db,
                             "INSERT INTO moji (moji_id, page_id, moji, p_size, p_left, p_right, "
                             "p_top, p_col_count, p_row_count, p_position) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                             -1, &m, nullptr),
          "prepare moji");

    for (int id = 1; id <= IdLimit; ++id) {
        const QByteArray name = (textAt(id * 3, 12) + QStringLiteral("様式%1").arg(id)).toUtf8();
        sqlite3_bind_int(t, 1, id);
        sqlite3_bind_text(t, 2, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        check(db, sqlite3_step(t), "insert template");
        sqlite3_reset(t);
    }
    for (int id = 1; id <= IdLimit; ++id) {
        sqlite3_bind_int(p, 1, id);
        sqlite3_bind_int(p, 2, scatter(id));
        sqlite3_bind_int(p, 3, 1);
        sqlite3_bind_int(p, 4, uniform(0, 1)); // portrait or landscape
        sqlite3_bind_int(p, 5, papers[uniform(0, 5)]);
        check(db, sqlite3_step(p), "insert page");
        sqlite3_reset(p);
    }
    for (int id = 1; id <= IdLimit; ++id) {
        const QByteArray text = textAt(id, TextLength).toUtf8();
        const double size = sizes[uniform(0, 5)];
        const double left = uniform(50, 1800) / 10.0;
        const int cols = uniform(4, 40);
        // A character is about a third of its point size wide in millimetres.
        const double right = std::min(200.0, left + std::round(cols * size * 3.528) / 10.0);
        sqlite3_bind_int(m, 1, id);
        sqlite3_bind_int(m, 2, scatter(id));
        sqlite3_bind_text(m, 3, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        sqlite3_bind_double(m, 4, size);
        sqlite3_bind_double(m, 5, left);
        sqlite3_bind_double(m, 6, right);
        sqlite3_bind_double(m, 7, uniform(50, 2800) / 10.0);
        sqlite3_bind_int(m, 8, cols);
        sqlite3_bind_int(m, 9, uniform(1, 5));
        sqlite3_bind_int(m, 10, uniform(0, 2));
        check(db, sqlite3_step(m), "insert moji");
        sqlite3_reset(m);
    }
    sqlite3_finalize(t);
    sqlite3_finalize(p);
    sqlite3_finalize(m);
    exec(db, "COMMIT");
    check(db, sqlite3_close(db), "close");
}

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void removeIfThere(const QString& path) {
    if (QFile::exists(path) && !QFile::remove(path))
        die("cannot remove " + path.toStdString());
}

void copyOnce(const QString& from, const QString& to, bool flush) {
    removeIfThere(to);
    if (!QFile::copy(from, to))
        die("cannot copy to " + to.toStdString());
    if (flush) {
        const int fd = ::open(QFile::encodeName(to).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::fsync(fd) != 0)
            die("cannot flush " + to.toStdString());
        ::close(fd);
    }
}

// (a) what start-up does before the main menu: backup and compaction on the
// current directory, the form file's copy check, then the exclusive open of
// data.vsk with forms.vsk attached.
void startUpWork(const QString& folder) {
    BackUpAndCompact();
    BackUpForms();
    Database* db = DefaultWorkspace().OpenDatabase(QDir(folder).filePath(LayoutFiles::Data), true,
                                                   false, LayoutFiles::Connect);
    if (!db || !db->IsOpen())
        die("the database did not open");
    AttachForms(db, folder);
    DefaultWorkspace().Close();
}

// (c) the sqlcipher shell's keyed export of data.vsk into export.vsk.
void shellExport(const QString& folder) {
    removeIfThere(QDir(folder).filePath(QStringLiteral("export.vsk")));
    const QByteArray key = Database::PasswordOf(LayoutFiles::Connect).toUtf8();
    QProcess shell;
    shell.setWorkingDirectory(folder);
    shell.start(QStringLiteral("sqlcipher"), {LayoutFiles::Data});
    if (!shell.waitForStarted(-1))
        die("cannot start sqlcipher: " + shell.errorString().toStdString());
    shell.write("PRAGMA key='" + key + "';\nATTACH DATABASE 'export.vsk' AS e KEY '" + key +
                "';\nSELECT sqlcipher_export('e');\nDETACH DATABASE e;\n");
    shell.closeWriteChannel();
    shell.waitForFinished(-1);
    const QByteArray errors = shell.readAllStandardError();
    if (shell.exitStatus() != QProcess::NormalExit || shell.exitCode() != 0 || !errors.isEmpty())
        die("sqlcipher failed: " + errors.toStdString());
}

struct Measure {
    const char* label;
    std::function<void()> work;
    std::vector<double> ms;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc > 2)
        die("usage: bench_startup [DELIVERED_DATA_VSK]");
    const QString delivered =
        argc == 2 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(VESK_DELIVERED_DB);
    if (!QFileInfo(delivered).isFile())
        die("no delivered database at " + delivered.toStdString() + " (build it, or name it)");

    QTemporaryDir temp;
    if (!temp.isValid())
        die("no temporary folder");
    const QString folder = temp.path();
    const QString data = QDir(folder).filePath(LayoutFiles::Data);
    if (!QFile::copy(delivered, data))
        die("cannot copy the delivered database");
    QFile::setPermissions(data, QFile::ReadOwner | QFile::WriteOwner);

    auto start = Clock::now();
    fill(data);
    const double fillMs = msSince(start);
    requireFull(data);
    const qint64 filledBytes = QFileInfo(data).size();

    if (!QDir::setCurrent(folder))
        die("cannot enter " + folder.toStdString());
    const QString copy1 = QDir(folder).filePath(QStringLiteral("copy1.vsk"));
    const QString copy2 = QDir(folder).filePath(QStringLiteral("copy2.vsk"));

    std::vector<Measure> measures = {
        {"(a)  start-up: backup, compaction, exclusive open", [&] { startUpWork(folder); }, {}},
        {"(b)  two plain file copies",
         [&] {
             copyOnce(data, copy1, false);
             copyOnce(data, copy2, false);
         },
         {}},
        {"(b') two file copies, each flushed (fsync)",
         [&] {
             copyOnce(data, copy1, true);
             copyOnce(data, copy2, true);
         },
         {}},
        {"(c)  sqlcipher shell keyed export", [&] { shellExport(folder); }, {}},
    };

    // One warm-up round, then the measured rounds, the kinds taking turns.
    for (int round = 0; round <= Runs; ++round) {
        for (Measure& m : measures) {
            start = Clock::now();
            m.work();
            const double ms = msSince(start);
            if (round > 0)
                m.ms.push_back(ms);
        }
    }
    requireFull(data);
    requireFull(QDir(folder).filePath(QStringLiteral("export.vsk")));

    const double mb = 1e6;
    std::printf("VESK start-up benchmark\n");
    std::printf("database: %d templates, %d pages, %d items (40-character Japanese texts)\n",
                IdLimit, IdLimit, IdLimit);
    std::printf("data.vsk: %.2f MB filled (%lld bytes), %.2f MB after compaction\n",
                filledBytes / mb, static_cast<long long>(filledBytes), QFileInfo(data).size() / mb);
    std::printf("filling in one transaction: %.0f ms\n", fillMs);
    std::printf("median of %d runs after one warm-up (ms; all runs in brackets):\n", Runs);
    for (const Measure& m : measures) {
        std::printf("  %-52s %9.1f  [", m.label, median(m.ms));
        for (size_t i = 0; i < m.ms.size(); ++i)
            std::printf(i ? " %.1f" : "%.1f", m.ms[i]);
        std::printf("]\n");
    }
    const double a = median(measures[0].ms);
    std::printf("ratio (a)/(b)  = %.2f\n", a / median(measures[1].ms));
    std::printf("ratio (a)/(b') = %.2f\n", a / median(measures[2].ms));
    std::printf("ratio (a)/(c)  = %.2f\n", a / median(measures[3].ms));

    QDir::setCurrent(QDir::tempPath());
    return 0;
}
