// LONG and LONG RAW columns fetched with dynamic defines: the callback is asked for one buffer
// per piece until the whole value has arrived.
#include "StandinClient.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace qd::test::standin;

namespace {

constexpr ub2 SQLT_LNG = 8, SQLT_LBI = 24;
constexpr ub4 DYNAMIC_FETCH = 2;
constexpr sb4 CONTINUE = -24200;
constexpr unsigned char FIRST_PIECE = 1, NEXT_PIECE = 2;

using DefineCallback
    = sb4 (*)(void *, void *, ub4, void **, ub4 **, unsigned char *, void **, ub2 **);

// Pieces as the product asks for them: 4096 bytes first, doubling up to 32768.
struct Pieces {
    std::vector<std::vector<char>> buffers;
    std::vector<ub4> lengths;
    std::vector<unsigned char> pieceFlags;
    sb2 indicator = 99;
    sb4 answer = CONTINUE;

    std::string value() const
    {
        std::string all;
        for (size_t i = 0; i < buffers.size(); ++i)
            all.append(buffers[i].data(), lengths[i]);
        return all;
    }

    static sb4 callback(void *context, void *, ub4, void **buffer, ub4 **length,
        unsigned char *piece, void **indicator, ub2 **)
    {
        auto *self = static_cast<Pieces *>(context);
        const ub4 size = self->buffers.empty() ? 4096
            : self->buffers.back().size() < 32768
            ? static_cast<ub4>(self->buffers.back().size() * 2)
            : 32768;
        self->pieceFlags.push_back(*piece);
        self->buffers.emplace_back(size);
        self->lengths.reserve(1000);
        self->lengths.push_back(size);
        *buffer = self->buffers.back().data();
        *length = &self->lengths.back();
        *indicator = &self->indicator;
        return self->answer;
    }
};

class LongPieces : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(db.logon("DEMO", "DEMO"), SUCCESS) << db.errorText();
        // Each test starts from empty tables (the schema lives as long as the test program).
        db.run("drop table longs");
        db.run("drop table raws");
        ASSERT_EQ(db.run("create table longs (id number, body long)"), SUCCESS) << db.errorText();
        ASSERT_EQ(db.run("create table raws (id number, body long raw)"), SUCCESS)
            << db.errorText();
        defineDynamic = reinterpret_cast<decltype(defineDynamic)>(symbol("OCIDefineDynamic"));
        ASSERT_NE(defineDynamic, nullptr);
    }

    void insert(const char *sql, int id, std::string &value, ub2 type)
    {
        Cursor c(db, sql);
        int32_t key = id;
        void *b1 = nullptr, *b2 = nullptr;
        sb2 ind = value.empty() ? -1 : 0;
        ASSERT_EQ(api().BindByPos(c.stmt, &b1, c.err, 1, &key, 4, SQLT_INT, nullptr, nullptr,
                      nullptr, 0, nullptr, DEFAULT),
            SUCCESS);
        ASSERT_EQ(
            api().BindByPos(c.stmt, &b2, c.err, 2, value.data(), static_cast<sb4>(value.size()),
                type, &ind, nullptr, nullptr, 0, nullptr, DEFAULT),
            SUCCESS);
        ASSERT_EQ(c.execute(1), SUCCESS) << c.errorText();
    }

    // Fetches the row's body through a dynamic define; returns the fetch status.
    sword fetchInPieces(Cursor &c, ub2 type, Pieces &pieces)
    {
        void *define = nullptr;
        EXPECT_EQ(api().DefineByPos(c.stmt, &define, c.err, 1, nullptr, 2147483647, type, nullptr,
                      nullptr, nullptr, DYNAMIC_FETCH),
            SUCCESS)
            << c.errorText();
        EXPECT_EQ(defineDynamic(define, c.err, &pieces, &Pieces::callback), SUCCESS);
        EXPECT_EQ(c.execute(0), SUCCESS) << c.errorText();
        return c.fetch(1);
    }

    sword (*defineDynamic)(void *, void *, void *, DefineCallback) = nullptr;
    Connection db;
};

} // namespace

TEST_F(LongPieces, OneMegabyteLongArrivesWholeInGrowingPieces)
{
    std::string body(1 << 20, ' ');
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>('A' + (i * 7) % 26);
    insert("insert into longs values (:1, :2)", 1, body, SQLT_LNG);

    Cursor c(db, "select body from longs where id = 1");
    Pieces pieces;
    ASSERT_EQ(fetchInPieces(c, SQLT_LNG, pieces), SUCCESS) << c.errorText();
    EXPECT_EQ(pieces.value(), body);
    EXPECT_EQ(pieces.indicator, 0);
    // 4096 + 8192 + 16384 + 32768 * n: many pieces, the first marked as such.
    ASSERT_GT(pieces.buffers.size(), 30u);
    EXPECT_EQ(pieces.pieceFlags.front(), FIRST_PIECE);
    EXPECT_EQ(pieces.pieceFlags.back(), NEXT_PIECE);
    EXPECT_EQ(pieces.lengths[0], 4096u);
    EXPECT_EQ(pieces.lengths[3], 32768u);
}

TEST_F(LongPieces, LongRawKeepsEveryByteAndNullComesAsOnePiece)
{
    std::string bytes(70000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i % 251);
    insert("insert into raws values (:1, :2)", 1, bytes, SQLT_LBI);
    std::string none;
    insert("insert into raws values (:1, :2)", 2, none, SQLT_LBI);
    {
        Cursor c(db, "select body from raws where id = 1");
        Pieces pieces;
        ASSERT_EQ(fetchInPieces(c, SQLT_LBI, pieces), SUCCESS) << c.errorText();
        EXPECT_EQ(pieces.value(), bytes);
    }
    {
        Cursor c(db, "select body from raws where id = 2");
        Pieces pieces;
        ASSERT_EQ(fetchInPieces(c, SQLT_LBI, pieces), SUCCESS) << c.errorText();
        EXPECT_EQ(pieces.buffers.size(), 1u);
        EXPECT_EQ(pieces.lengths[0], 0u);
        EXPECT_EQ(pieces.indicator, -1);
    }
}

TEST_F(LongPieces, CallbackThatStopsFailsTheFetch)
{
    std::string body(10000, 'x');
    insert("insert into longs values (:1, :2)", 3, body, SQLT_LNG);
    Cursor c(db, "select body from longs where id = 3");
    Pieces pieces;
    pieces.answer = ERROR;
    EXPECT_EQ(fetchInPieces(c, SQLT_LNG, pieces), ERROR);
    EXPECT_EQ(c.errorCode(), 24343);
}
