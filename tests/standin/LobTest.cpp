// LOB locators through the public C interface: a CLOB written through the locator that
// RETURNING ... INTO hands back, read in chunks; one piece, polled and callback writes; trim and
// length; locks; temporary LOBs; BFILEs under the configured directory.
#include "StandinClient.h"

#include "common/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

using namespace qd::test::standin;

namespace {

constexpr ub4 DTYPE_LOB = 50, DTYPE_FILE = 56;
constexpr ub2 SQLT_CLOB = 112, SQLT_BLOB = 113, SQLT_BFILE = 114;
constexpr unsigned char ONE_PIECE = 0, FIRST_PIECE = 1, NEXT_PIECE = 2, LAST_PIECE = 3;
constexpr sword NEED_DATA = 99;
constexpr sb4 CONTINUE = -24200;

template <class F> F exported(const char *name)
{
    auto *p = reinterpret_cast<F>(symbol(name));
    EXPECT_NE(p, nullptr) << "missing export " << name;
    return p;
}

using ReadCallback = sb4 (*)(void *, const void *, ub4, unsigned char);
using WriteCallback = sb4 (*)(void *, void *, ub4 *, unsigned char *);

struct Lob {
    sword (*Read)(
        void *, void *, void *, ub4 *, ub4, void *, ub4, void *, ReadCallback, ub2, unsigned char)
        = exported<decltype(Read)>("OCILobRead");
    sword (*Write)(void *, void *, void *, ub4 *, ub4, void *, ub4, unsigned char, void *,
        WriteCallback, ub2, unsigned char)
        = exported<decltype(Write)>("OCILobWrite");
    sword (*Trim)(void *, void *, void *, ub4) = exported<decltype(Trim)>("OCILobTrim");
    sword (*GetLength)(void *, void *, void *, ub4 *)
        = exported<decltype(GetLength)>("OCILobGetLength");
    sword (*IsInit)(void *, void *, const void *, int *)
        = exported<decltype(IsInit)>("OCILobLocatorIsInit");
    sword (*CreateTemporary)(void *, void *, void *, ub2, unsigned char, unsigned char, int, ub2)
        = exported<decltype(CreateTemporary)>("OCILobCreateTemporary");
    sword (*FreeTemporary)(void *, void *, void *)
        = exported<decltype(FreeTemporary)>("OCILobFreeTemporary");
    sword (*IsTemporary)(void *, void *, void *, int *)
        = exported<decltype(IsTemporary)>("OCILobIsTemporary");
    sword (*FileOpen)(void *, void *, void *, unsigned char)
        = exported<decltype(FileOpen)>("OCILobFileOpen");
    sword (*FileClose)(void *, void *, void *) = exported<decltype(FileClose)>("OCILobFileClose");
    sword (*FileIsOpen)(void *, void *, void *, int *)
        = exported<decltype(FileIsOpen)>("OCILobFileIsOpen");
};

const Lob &lob()
{
    static const Lob calls;
    return calls;
}

class Lobs : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(db.logon("DEMO", "DEMO"), SUCCESS) << db.errorText();
        db.run("drop table docs");
        ASSERT_EQ(db.run("create table docs (id number, txt clob, bin blob)"), SUCCESS)
            << db.errorText();
    }
    void TearDown() override
    {
        for (void *l : locators)
            api().DescriptorFree(l, DTYPE_LOB);
    }

    void *newLocator(ub4 type = DTYPE_LOB)
    {
        void *l = nullptr;
        EXPECT_EQ(api().DescriptorAlloc(db.env, &l, type, 0, nullptr), SUCCESS);
        if (type == DTYPE_LOB)
            locators.push_back(l);
        return l;
    }

    // Inserts a row with empty LOBs and returns the locator of its CLOB.
    void *insertReturning(int id)
    {
        Cursor c(db,
            "insert into docs (id, txt, bin) values (:id, empty_clob(), empty_blob()) "
            "returning txt, rowid into :l, :r");
        void *locator = newLocator();
        int32_t key = id;
        char rowid[40] = {};
        void *b = nullptr;
        api().BindByName(c.stmt, &b, c.err, reinterpret_cast<const text *>(":id"), -1, &key, 4,
            SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, DEFAULT);
        api().BindByName(c.stmt, &b, c.err, reinterpret_cast<const text *>(":l"), -1, &locator,
            sizeof locator, SQLT_CLOB, nullptr, nullptr, nullptr, 0, nullptr, DEFAULT);
        api().BindByName(c.stmt, &b, c.err, reinterpret_cast<const text *>(":r"), -1, rowid,
            sizeof rowid, SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, DEFAULT);
        EXPECT_EQ(c.execute(1), SUCCESS) << c.errorText();
        EXPECT_EQ(std::strlen(rowid), 18u) << rowid;
        return locator;
    }

    std::string textOfRow(int id)
    {
        Cursor c(db, "select txt from docs where id = " + std::to_string(id));
        std::string value(200, '\0');
        sb2 ind = 0;
        void *d = nullptr;
        api().DefineByPos(
            c.stmt, &d, c.err, 1, value.data(), 200, SQLT_STR, &ind, nullptr, nullptr, DEFAULT);
        EXPECT_EQ(c.execute(1), SUCCESS) << c.errorText();
        return ind == -1 ? "<null>" : value.c_str();
    }

    std::string readInChunks(void *locator, ub4 chunk)
    {
        std::string all;
        std::string buffer(chunk, '\0');
        for (ub4 offset = 1;; offset += chunk) {
            ub4 amount = chunk;
            const sword status = lob().Read(db.svc, db.err, locator, &amount, offset, buffer.data(),
                chunk, nullptr, nullptr, 0, 1);
            if (status == NO_DATA)
                break;
            EXPECT_EQ(status, SUCCESS) << db.errorText();
            if (status != SUCCESS)
                break;
            all.append(buffer.data(), amount);
            if (amount < chunk)
                break;
        }
        return all;
    }

    sword writeOnePiece(void *locator, ub4 offset, const std::string &data)
    {
        ub4 amount = static_cast<ub4>(data.size());
        return lob().Write(db.svc, db.err, locator, &amount, offset,
            const_cast<char *>(data.data()), amount, ONE_PIECE, nullptr, nullptr, 0, 1);
    }

    Connection db;
    std::vector<void *> locators;
};

} // namespace

TEST_F(Lobs, ClobWrittenThroughReturnedLocatorChangesTheRow)
{
    void *locator = insertReturning(1);
    int init = 0;
    ASSERT_EQ(lob().IsInit(db.env, db.err, locator, &init), SUCCESS);
    EXPECT_EQ(init, 1);
    ub4 length = 99;
    ASSERT_EQ(lob().GetLength(db.svc, db.err, locator, &length), SUCCESS) << db.errorText();
    EXPECT_EQ(length, 0u);

    ASSERT_EQ(writeOnePiece(locator, 1, "The quick brown fox"), SUCCESS) << db.errorText();
    // Polled pieces go on after what is there.
    const std::string pieces[] = { " jumps", " over the", " lazy dog." };
    ub4 amount = 0;
    EXPECT_EQ(lob().Write(db.svc, db.err, locator, &amount, 20,
                  const_cast<char *>(pieces[0].data()), 6, FIRST_PIECE, nullptr, nullptr, 0, 1),
        NEED_DATA);
    EXPECT_EQ(lob().Write(db.svc, db.err, locator, &amount, 20,
                  const_cast<char *>(pieces[1].data()), 9, NEXT_PIECE, nullptr, nullptr, 0, 1),
        NEED_DATA);
    ASSERT_EQ(lob().Write(db.svc, db.err, locator, &amount, 20,
                  const_cast<char *>(pieces[2].data()), 10, LAST_PIECE, nullptr, nullptr, 0, 1),
        SUCCESS)
        << db.errorText();
    EXPECT_EQ(amount, 25u);
    const std::string expected = "The quick brown fox jumps over the lazy dog.";
    ASSERT_EQ(db.commit(), SUCCESS);

    // The row changed; another select's locator reads it back in chunks.
    EXPECT_EQ(textOfRow(1), expected);
    Cursor c(db, "select txt from docs where id = 1");
    void *fetched = newLocator();
    void *d = nullptr;
    ASSERT_EQ(api().DefineByPos(c.stmt, &d, c.err, 1, &fetched, sizeof fetched, SQLT_CLOB, nullptr,
                  nullptr, nullptr, DEFAULT),
        SUCCESS);
    ASSERT_EQ(c.execute(1), SUCCESS) << c.errorText();
    ASSERT_EQ(lob().GetLength(db.svc, db.err, fetched, &length), SUCCESS);
    EXPECT_EQ(length, expected.size());
    EXPECT_EQ(readInChunks(fetched, 7), expected);
    EXPECT_EQ(readInChunks(fetched, 1000), expected);
}

TEST_F(Lobs, WriteNeedsALockedRowAndTrimShortens)
{
    void *locator = insertReturning(2);
    ASSERT_EQ(writeOnePiece(locator, 1, "0123456789"), SUCCESS) << db.errorText();
    ASSERT_EQ(db.commit(), SUCCESS);
    {
        // A plain select gives a consistent read: writing through it needs the row locked.
        Cursor c(db, "select txt from docs where id = 2");
        void *fetched = newLocator();
        void *d = nullptr;
        api().DefineByPos(c.stmt, &d, c.err, 1, &fetched, sizeof fetched, SQLT_CLOB, nullptr,
            nullptr, nullptr, DEFAULT);
        ASSERT_EQ(c.execute(1), SUCCESS) << c.errorText();
        EXPECT_EQ(writeOnePiece(fetched, 1, "x"), ERROR);
        EXPECT_EQ(db.errorCode(), 22920);
    }
    Cursor c(db, "select txt from docs where id = 2 for update");
    void *locked = newLocator();
    void *d = nullptr;
    api().DefineByPos(c.stmt, &d, c.err, 1, &locked, sizeof locked, SQLT_CLOB, nullptr, nullptr,
        nullptr, DEFAULT);
    ASSERT_EQ(c.execute(1), SUCCESS) << c.errorText();
    // Writing past the end fills the gap with blanks, as the server does for a CLOB.
    ASSERT_EQ(writeOnePiece(locked, 13, "AB"), SUCCESS) << db.errorText();
    EXPECT_EQ(textOfRow(2), "0123456789  AB");
    ASSERT_EQ(lob().Trim(db.svc, db.err, locked, 4), SUCCESS) << db.errorText();
    EXPECT_EQ(textOfRow(2), "0123");
    EXPECT_EQ(lob().Trim(db.svc, db.err, locked, 40), ERROR);
    EXPECT_EQ(db.errorCode(), 22926);
    ASSERT_EQ(db.rollback(), SUCCESS);
    EXPECT_EQ(textOfRow(2), "0123456789");
}

TEST_F(Lobs, CallbackModesStreamTheWholeValue)
{
    void *locator = insertReturning(3);
    struct Source {
        int piecesLeft = 3;
        static sb4 next(void *context, void *buffer, ub4 *length, unsigned char *piece)
        {
            auto *self = static_cast<Source *>(context);
            std::memcpy(buffer, "abcd", 4);
            *length = 4;
            *piece = --self->piecesLeft == 0 ? LAST_PIECE : NEXT_PIECE;
            return CONTINUE;
        }
    } source;
    char buffer[4] = { 'w', 'x', 'y', 'z' };
    ub4 amount = 0;
    ASSERT_EQ(lob().Write(db.svc, db.err, locator, &amount, 1, buffer, 4, FIRST_PIECE, &source,
                  &Source::next, 0, 1),
        SUCCESS)
        << db.errorText();
    EXPECT_EQ(amount, 16u);

    struct Sink {
        std::string data;
        std::vector<unsigned char> pieces;
        static sb4 take(void *context, const void *buffer, ub4 length, unsigned char piece)
        {
            auto *self = static_cast<Sink *>(context);
            self->data.append(static_cast<const char *>(buffer), length);
            self->pieces.push_back(piece);
            return CONTINUE;
        }
    } sink;
    char small[5];
    amount = 0; // everything from the offset on
    ASSERT_EQ(lob().Read(db.svc, db.err, locator, &amount, 1, small, sizeof small, &sink,
                  &Sink::take, 0, 1),
        SUCCESS)
        << db.errorText();
    EXPECT_EQ(sink.data, "wxyzabcdabcdabcd");
    EXPECT_EQ(amount, 16u);
    EXPECT_EQ(sink.pieces,
        (std::vector<unsigned char> { FIRST_PIECE, NEXT_PIECE, NEXT_PIECE, LAST_PIECE }));

    // Without a callback a read larger than the buffer is polled piece by piece.
    std::string polled;
    amount = 0;
    sword status = lob().Read(
        db.svc, db.err, locator, &amount, 1, small, sizeof small, nullptr, nullptr, 0, 1);
    for (int guard = 0; status == NEED_DATA && guard < 10; ++guard) {
        polled.append(small, amount);
        status = lob().Read(
            db.svc, db.err, locator, &amount, 1, small, sizeof small, nullptr, nullptr, 0, 1);
    }
    ASSERT_EQ(status, SUCCESS) << db.errorText();
    polled.append(small, amount);
    EXPECT_EQ(polled, "wxyzabcdabcdabcd");
}

TEST_F(Lobs, TemporaryLobLivesInTheLocatorAndCanBeInserted)
{
    void *temp = newLocator();
    int flag = -1;
    ASSERT_EQ(lob().IsInit(db.env, db.err, temp, &flag), SUCCESS);
    EXPECT_EQ(flag, 0);
    ASSERT_EQ(lob().CreateTemporary(db.svc, db.err, temp, 0, 0, 2, 1, 10), SUCCESS)
        << db.errorText();
    ASSERT_EQ(lob().IsTemporary(db.env, db.err, temp, &flag), SUCCESS);
    EXPECT_EQ(flag, 1);
    ASSERT_EQ(writeOnePiece(temp, 1, "temporary text"), SUCCESS) << db.errorText();
    ub4 length = 0;
    ASSERT_EQ(lob().GetLength(db.svc, db.err, temp, &length), SUCCESS);
    EXPECT_EQ(length, 14u);
    EXPECT_EQ(readInChunks(temp, 5), "temporary text");

    Cursor c(db, "insert into docs (id, txt) values (4, :t)");
    void *b = nullptr;
    api().BindByName(c.stmt, &b, c.err, reinterpret_cast<const text *>(":t"), -1, &temp,
        sizeof temp, SQLT_CLOB, nullptr, nullptr, nullptr, 0, nullptr, DEFAULT);
    ASSERT_EQ(c.execute(1), SUCCESS) << c.errorText();
    EXPECT_EQ(textOfRow(4), "temporary text");

    ASSERT_EQ(lob().FreeTemporary(db.svc, db.err, temp), SUCCESS);
    ASSERT_EQ(lob().IsTemporary(db.env, db.err, temp, &flag), SUCCESS);
    EXPECT_EQ(flag, 0);
    ASSERT_EQ(lob().IsInit(db.env, db.err, temp, &flag), SUCCESS);
    EXPECT_EQ(flag, 0);
    ub4 amount = 1;
    char one;
    EXPECT_EQ(lob().Read(db.svc, db.err, temp, &amount, 1, &one, 1, nullptr, nullptr, 0, 1), ERROR);
    EXPECT_EQ(db.errorCode(), 22275);
    EXPECT_EQ(lob().FreeTemporary(db.svc, db.err, temp), ERROR);
}

TEST_F(Lobs, BfileIsReadFromTheConfiguredDirectoryOnlyWhenOpen)
{
    // The default configuration keeps BFILE directories under the alias's folder.
    const std::filesystem::path root
        = qd::test::programDirectory().toStdString() + "/standin/DEMO/bfiles/DOCS";
    std::filesystem::create_directories(root);
    std::ofstream(root / "note.txt") << "file contents";

    db.run("drop table files");
    ASSERT_EQ(db.run("create table files (id number, f bfile)"), SUCCESS) << db.errorText();
    ASSERT_EQ(db.run("insert into files values (1, bfilename('DOCS', 'note.txt'))"), SUCCESS)
        << db.errorText();
    ASSERT_EQ(
        db.run("insert into files values (2, bfilename('DOCS', '../../DEMO.sqlite'))"), SUCCESS)
        << db.errorText();
    ASSERT_EQ(db.run("insert into files values (3, bfilename('DOCS', 'missing.txt'))"), SUCCESS);

    void *file[3] = {};
    for (auto &f : file)
        ASSERT_EQ(api().DescriptorAlloc(db.env, &f, DTYPE_FILE, 0, nullptr), SUCCESS);
    Cursor c(db, "select f from files order by id");
    void *d = nullptr;
    ASSERT_EQ(api().DefineByPos(c.stmt, &d, c.err, 1, file, sizeof(void *), SQLT_BFILE, nullptr,
                  nullptr, nullptr, DEFAULT),
        SUCCESS);
    ASSERT_EQ(c.execute(3), SUCCESS) << c.errorText();

    ub4 length = 0;
    ASSERT_EQ(lob().GetLength(db.svc, db.err, file[0], &length), SUCCESS) << db.errorText();
    EXPECT_EQ(length, 13u);
    char buffer[32] = {};
    ub4 amount = sizeof buffer;
    EXPECT_EQ(lob().Read(db.svc, db.err, file[0], &amount, 1, buffer, sizeof buffer, nullptr,
                  nullptr, 0, 1),
        ERROR);
    EXPECT_EQ(db.errorCode(), 22289);
    int open = -1;
    ASSERT_EQ(lob().FileIsOpen(db.svc, db.err, file[0], &open), SUCCESS);
    EXPECT_EQ(open, 0);
    ASSERT_EQ(lob().FileOpen(db.svc, db.err, file[0], 1), SUCCESS) << db.errorText();
    ASSERT_EQ(lob().FileIsOpen(db.svc, db.err, file[0], &open), SUCCESS);
    EXPECT_EQ(open, 1);
    amount = sizeof buffer;
    ASSERT_EQ(lob().Read(db.svc, db.err, file[0], &amount, 6, buffer, sizeof buffer, nullptr,
                  nullptr, 0, 1),
        SUCCESS);
    EXPECT_EQ(std::string(buffer, amount), "contents");
    // BFILEs are read-only.
    EXPECT_EQ(writeOnePiece(file[0], 1, "x"), ERROR);
    ASSERT_EQ(lob().FileClose(db.svc, db.err, file[0]), SUCCESS);
    ASSERT_EQ(lob().FileIsOpen(db.svc, db.err, file[0], &open), SUCCESS);
    EXPECT_EQ(open, 0);

    // A name that leaves the directory, and a file that is not there.
    EXPECT_EQ(lob().FileOpen(db.svc, db.err, file[1], 1), ERROR);
    EXPECT_EQ(db.errorCode(), 22285);
    EXPECT_EQ(lob().FileOpen(db.svc, db.err, file[2], 1), ERROR);
    EXPECT_EQ(db.errorCode(), 22288);
    for (void *f : file)
        api().DescriptorFree(f, DTYPE_FILE);
}

TEST_F(Lobs, BlobKeepsBinaryBytes)
{
    Cursor c(db, "insert into docs (id, bin) values (5, empty_blob()) returning bin into :b");
    void *locator = newLocator();
    void *b = nullptr;
    api().BindByName(c.stmt, &b, c.err, reinterpret_cast<const text *>(":b"), -1, &locator,
        sizeof locator, SQLT_BLOB, nullptr, nullptr, nullptr, 0, nullptr, DEFAULT);
    ASSERT_EQ(c.execute(1), SUCCESS) << c.errorText();
    const std::string bytes("\0\1\2\377\0zero", 9);
    ASSERT_EQ(writeOnePiece(locator, 1, bytes), SUCCESS) << db.errorText();
    // Past the end of a BLOB the gap is zero bytes.
    ASSERT_EQ(writeOnePiece(locator, 12, "!"), SUCCESS) << db.errorText();
    EXPECT_EQ(readInChunks(locator, 4), bytes + std::string(2, '\0') + "!");
}
