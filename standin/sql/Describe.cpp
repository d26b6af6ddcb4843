// What the server reports about a select list: declared types decoded, computed columns from
// the types translate() inferred.
#include "sql/Dialect.h"
#include "sql/Lexer.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace qdsi::sql {

ColumnDescription describeDeclaredType(std::string_view declared)
{
    std::string text(declared);
    for (char &c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const size_t open = text.find('(');
    std::string words = text.substr(0, open);
    while (!words.empty() && words.back() == ' ')
        words.pop_back();
    int arg1 = -1, arg2 = -1;
    if (open != std::string::npos) {
        arg1 = boundedInt(text.c_str() + open + 1);
        const size_t comma = text.find(',', open);
        if (comma != std::string::npos)
            arg2 = boundedInt(text.c_str() + comma + 1);
    }
    auto startsWith = [&](std::string_view w) {
        return words.compare(0, w.size(), w) == 0
            && (words.size() == w.size() || words[w.size()] == ' ');
    };
    ColumnDescription d;
    if (startsWith("LONG RAW")) {
        d.dataType = 24, d.dataSize = 0;
    } else if (startsWith("LONG")) {
        d.dataType = 8, d.dataSize = 0;
    } else if (startsWith("VARCHAR2") || startsWith("VARCHAR") || startsWith("NVARCHAR2")) {
        d.dataType = 1, d.dataSize = arg1 > 0 ? arg1 : 4000;
    } else if (startsWith("CHAR") || startsWith("NCHAR") || startsWith("CHARACTER")) {
        d.dataType = 96, d.dataSize = arg1 > 0 ? arg1 : 1;
    } else if (startsWith("NUMBER") || startsWith("NUMERIC") || startsWith("DECIMAL")) {
        d.dataType = 2, d.dataSize = 22;
        d.precision = arg1 > 0 ? arg1 : 0;
        d.scale = arg1 > 0 ? std::max(arg2, 0) : -127;
        if (arg2 < 0 && arg2 != -1)
            d.scale = arg2;
    } else if (startsWith("INTEGER") || startsWith("INT") || startsWith("SMALLINT")) {
        d.dataType = 2, d.dataSize = 22, d.precision = 38, d.scale = 0;
    } else if (startsWith("FLOAT")) {
        d.dataType = 2, d.dataSize = 22, d.precision = arg1 > 0 ? arg1 : 126, d.scale = -127;
    } else if (startsWith("REAL") || startsWith("NUM") || startsWith("DOUBLE")) {
        d.dataType = 2, d.dataSize = 22, d.precision = 0, d.scale = -127;
    } else if (startsWith("BINARY_FLOAT")) {
        d.dataType = 100, d.dataSize = 4;
    } else if (startsWith("BINARY_DOUBLE")) {
        d.dataType = 101, d.dataSize = 8;
    } else if (startsWith("DATE")) {
        d.dataType = 12, d.dataSize = 7;
    } else if (startsWith("TIMESTAMP TZ")) {
        d.dataType = 188, d.dataSize = 13, d.scale = arg1 >= 0 ? arg1 : 6;
    } else if (startsWith("TIMESTAMP LTZ")) {
        d.dataType = 232, d.dataSize = 11, d.scale = arg1 >= 0 ? arg1 : 6;
    } else if (startsWith("TIMESTAMP")) {
        d.dataType = 187, d.dataSize = 11, d.scale = arg1 >= 0 ? arg1 : 6;
    } else if (startsWith("RAW")) {
        d.dataType = 23, d.dataSize = arg1 > 0 ? arg1 : 2000;
    } else if (startsWith("CLOB") || startsWith("NCLOB")) {
        d.dataType = 112, d.dataSize = 4000;
    } else if (startsWith("BLOB")) {
        d.dataType = 113, d.dataSize = 4000;
    } else if (startsWith("BFILE")) {
        d.dataType = 114, d.dataSize = 530;
    } else if (startsWith("REF")) {
        // "REF SCHEMA TYPE" (see the translation of REF columns)
        d.dataType = 110, d.dataSize = 0;
        const size_t second = words.find(' ', 4);
        if (second != std::string::npos) {
            d.typeSchema = words.substr(4, second - 4);
            d.typeName = words.substr(second + 1);
        }
    } else if (startsWith("ROWID") || startsWith("UROWID")) {
        d.dataType = 104, d.dataSize = 10;
    } else {
        d.dataType = 1, d.dataSize = 4000; // TEXT from CREATE TABLE AS, or no declared type
    }
    return d;
}

std::string objectTableMark(const std::string &qualifiedType)
{
    return "/*QD_OF:" + qualifiedType + "*/ ";
}

std::string objectTableMarkType(std::string_view createText)
{
    // The mark is the first comment of the definition, right after the opening parenthesis.
    const size_t comment = createText.find("/*");
    if (comment == std::string_view::npos || comment == 0 || createText[comment - 1] != '('
        || createText.compare(comment, 8, "/*QD_OF:") != 0)
        return {};
    const size_t end = createText.find("*/", comment);
    if (end == std::string_view::npos)
        return {};
    return std::string(createText.substr(comment + 8, end - comment - 8));
}

std::vector<ColumnDescription> describe(sqlite3_stmt *statement, const Translation &translation)
{
    std::vector<ColumnDescription> columns;
    sqlite3 *db = sqlite3_db_handle(statement);
    const int count = sqlite3_column_count(statement);
    // Declared type and NOT NULL of a table column, looked up by qualifier (alias or table).
    auto lookup
        = [&](const std::string &qualifier, const std::string &column, ColumnDescription &d) {
              for (const TableRef &t : translation.from) {
                  if (t.name.empty()
                      || (!qualifier.empty() && t.alias != qualifier && t.name != qualifier))
                      continue;
                  const char *decl = nullptr;
                  int notNull = 0;
                  if (sqlite3_table_column_metadata(db, nullptr, t.name.c_str(), column.c_str(),
                          &decl, nullptr, &notNull, nullptr, nullptr)
                      == SQLITE_OK) {
                      const std::string name = d.name;
                      d = describeDeclaredType(decl ? decl : "");
                      d.name = name;
                      d.nullable = !notNull;
                      return true;
                  }
              }
              return false;
          };
    int stars = 0, starAt = -1;
    const auto &items = translation.selectItems;
    for (size_t k = 0; k < items.size(); ++k)
        if (items[k].star)
            ++stars, starAt = static_cast<int>(k);
    // How many columns the one star stands for (-1: the items do not fit the columns).
    int expansion = stars == 0 ? (items.size() == static_cast<size_t>(count) ? 0 : -1)
                               : count - static_cast<int>(items.size()) + 1;
    for (int i = 0; i < count; ++i) {
        const char *name = sqlite3_column_name(statement, i);
        const char *decl = sqlite3_column_decltype(statement, i);
        ColumnDescription d;
        // Without stars the items line up with the columns; with them, match by the name
        // translate() gave each item as its alias.
        const SelectItem *item = nullptr;
        if (stars <= 1 && expansion >= 0) {
            // Column i: items before the star one to one, the star's columns, then the rest.
            const int before = starAt < 0 ? count : starAt;
            if (i < before)
                item = &items[static_cast<size_t>(i)];
            else if (i >= before + expansion)
                item = &items[static_cast<size_t>(i - expansion + 1)];
        } else {
            for (const SelectItem &s : translation.selectItems)
                if (!item && !s.star && name && s.name == name)
                    item = &s;
        }
        if (item && item->typeKnown) {
            d = item->type;
            ColumnDescription source;
            if (item->typeIfSourceIsDate.dataType != 0 && !item->sourceColumn.empty()
                && lookup(item->sourceQualifier, item->sourceColumn, source)
                && source.dataType == 12)
                d = item->typeIfSourceIsDate;
        } else if (decl) {
            d = describeDeclaredType(decl);
        } else if (item && !item->sourceColumn.empty()) {
            d.name = name ? name : "";
            if (!lookup(item->sourceQualifier, item->sourceColumn, d))
                d.dataSize = 4000;
        } else {
            d.dataType = 1, d.dataSize = 4000;
        }
        d.name = name ? name : "";
        // NOT NULL of a plain table column.
        const char *table = sqlite3_column_table_name(statement, i);
        const char *origin = sqlite3_column_origin_name(statement, i);
        if (table && origin && decl) {
            int notNull = 0;
            if (sqlite3_table_column_metadata(db, sqlite3_column_database_name(statement, i), table,
                    origin, nullptr, nullptr, &notNull, nullptr, nullptr)
                == SQLITE_OK)
                d.nullable = !notNull;
        }
        columns.push_back(d);
    }
    return columns;
}

} // namespace qdsi::sql
