#pragma once
// Gives a test process private user folders (home, documents, data, temp), so
// tests never read or write the real user's settings and can run in parallel.
// Call before the application object is created (see VELMORA_TEST_MAIN).

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

namespace TestEnv {

inline QString &rootRef()
{
    static QString root;
    return root;
}

// The private root of this process's folders.
inline QString root() { return rootRef(); }

inline void setUp()
{
    static QTemporaryDir dir(QDir::tempPath() + "/velmora-test-XXXXXX");
    const QString r = dir.path();
    rootRef() = r;
    QDir().mkpath(r + "/home/Documents");
    QDir().mkpath(r + "/data");
    QDir().mkpath(r + "/config");
    QDir().mkpath(r + "/tmp");
    QDir().mkpath(r + "/runtime");
    QFile::setPermissions(r + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("HOME", (r + "/home").toUtf8());
    qputenv("XDG_DATA_HOME", (r + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (r + "/config").toUtf8());
    qputenv("XDG_DOCUMENTS_DIR", (r + "/home/Documents").toUtf8());
    qputenv("XDG_RUNTIME_DIR", (r + "/runtime").toUtf8());
    qputenv("TMPDIR", (r + "/tmp").toUtf8());
}

} // namespace TestEnv

// Like QTEST_MAIN, but with private user folders set up first.
#define VELMORA_TEST_MAIN(TestClass)                                  \
    int main(int argc, char **argv)                                   \
    {                                                                 \
        TestEnv::setUp();                                             \
        QApplication app(argc, argv);                                 \
        app.setAttribute(Qt::AA_Use96Dpi, true);                      \
        TestClass tc;                                                 \
        QTEST_SET_MAIN_SOURCE_PATH                                    \
        return QTest::qExec(&tc, argc, argv);                         \
    }
