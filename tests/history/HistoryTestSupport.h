#pragma once

#include "common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qd::test {

inline QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// A directory of its own for one history pair.
class HistoryDirTest : public ::testing::Test {
protected:
    QString tablePath() const { return m_dir.filePath(QStringLiteral("SQLHistory.dbf")); }
    QString memoPath() const { return m_dir.filePath(QStringLiteral("SQLHistory.dbt")); }
    QStringList filesInDir() const
    {
        return QDir(m_dir.path()).entryList(QDir::Files, QDir::Name);
    }

    QTemporaryDir m_dir;
};

} // namespace qd::test
