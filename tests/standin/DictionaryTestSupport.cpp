#include "DictionaryTestSupport.h"

#include "common/TestSupport.h"

#include <cstdlib>
#include <fstream>

namespace qd::test::standin {

namespace {

struct Query {
    explicit Query(Connection &db, const std::string &sql, const Binds &binds)
        : cursor(db, sql)
    {
        values.reserve(binds.size());
        for (const auto &[name, value] : binds) {
            values.push_back(value);
            void *bind = nullptr;
            const std::string &v = values.back();
            status = api().BindByName(cursor.stmt, &bind, cursor.err,
                reinterpret_cast<const text *>(name.c_str()), -1, const_cast<char *>(v.c_str()),
                static_cast<sb4>(v.size() + 1), SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr,
                DEFAULT);
            if (status != SUCCESS)
                return;
        }
        status = cursor.execute(0);
    }
    Cursor cursor;
    std::vector<std::string> values;
    sword status = SUCCESS;
};

} // namespace

void DictionarySchema::SetUp()
{
    const std::string dir = qd::test::programDirectory().toStdString();
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    const std::string path = dir + "/" + test + ".dictionary.conf";
    std::ofstream out(path);
    out << "[alias DICT]\ndirectory = dict-" << test
        << "\n[user FIX@DICT]\npassword = fix\n"
           "[alias DICTDEMO]\ndemo = yes\ndirectory = dictdemo-"
        << test << "\n[user SCOTT@DICTDEMO]\npassword = tiger\n";
    out.close();
    setenv("QD_STANDIN_CONFIG", path.c_str(), 1);
    ASSERT_EQ(db.logon("FIX", "fix", "DICT"), SUCCESS) << db.errorText();
}

void DictionarySchema::TearDown()
{
    db.logoff();
    unsetenv("QD_STANDIN_CONFIG");
}

void DictionarySchema::exec(const std::string &sql)
{
    ASSERT_EQ(active->run(sql), SUCCESS) << sql << "\n" << active->errorText();
}

int DictionarySchema::failure(const std::string &sql, std::string *text)
{
    const sword status = active->run(sql);
    if (text)
        *text = status == SUCCESS ? std::string() : active->errorText();
    return status == SUCCESS ? 0 : active->errorCode();
}

Rows DictionarySchema::rows(const std::string &sql, const Binds &binds)
{
    Rows out;
    Query q(*active, sql, binds);
    EXPECT_EQ(q.status, SUCCESS) << sql << "\n" << q.cursor.errorText();
    if (q.status != SUCCESS)
        return out;
    const FetchedText fetched = fetchAsText(q.cursor, 8001, true);
    EXPECT_EQ(fetched.status, NO_DATA) << sql << q.cursor.errorText();
    for (const auto &values : fetched.rows) {
        std::vector<std::string> row;
        for (const auto &value : values)
            row.push_back(value.value_or("<null>"));
        out.push_back(row);
    }
    return out;
}

std::vector<Described> DictionarySchema::describe(const std::string &sql, const Binds &binds)
{
    std::vector<Described> out;
    Query q(*active, sql, binds);
    EXPECT_EQ(q.status, SUCCESS) << sql << "\n" << q.cursor.errorText();
    const ub4 count = q.cursor.attribute4(ATTR_PARAM_COUNT);
    for (ub4 i = 1; i <= count; ++i) {
        void *param = nullptr;
        if (api().ParamGet(q.cursor.stmt, HTYPE_STMT, q.cursor.err, &param, i) != SUCCESS)
            break;
        Described d;
        char *name = nullptr;
        ub4 length = 0;
        ub2 type = 0, size = 0;
        int16_t precision = 0;
        int8_t scale = 0;
        api().AttrGet(param, DTYPE_PARAM, &name, &length, ATTR_NAME, q.cursor.err);
        api().AttrGet(param, DTYPE_PARAM, &type, nullptr, ATTR_DATA_TYPE, q.cursor.err);
        api().AttrGet(param, DTYPE_PARAM, &size, nullptr, ATTR_DATA_SIZE, q.cursor.err);
        api().AttrGet(param, DTYPE_PARAM, &precision, nullptr, 5, q.cursor.err);
        api().AttrGet(param, DTYPE_PARAM, &scale, nullptr, 6, q.cursor.err);
        d.name = name ? std::string(name, length) : std::string();
        d.type = type, d.size = size, d.precision = precision, d.scale = scale;
        out.push_back(d);
    }
    return out;
}

} // namespace qd::test::standin
