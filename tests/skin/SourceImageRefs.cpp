#include "SourceImageRefs.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace SourceImageRefs {

namespace {

bool isIdentChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

} // namespace

QList<Literal> cppStringLiterals(const QString &src)
{
    QList<Literal> out;
    const int n = int(src.size());
    int line = 1;
    int i = 0;
    auto at = [&](int k) { return k < n ? src.at(k) : QChar(); };
    // R" opens a raw string on its own or after the encoding prefixes u8, u, U, L.
    auto rawPrefixOk = [&](int k) {
        if (k == 0 || !isIdentChar(src.at(k - 1)))
            return true;
        const QChar p = src.at(k - 1);
        const bool encoding = p == QLatin1Char('u') || p == QLatin1Char('U') || p == QLatin1Char('L')
                              || (p == QLatin1Char('8') && k >= 2 && src.at(k - 2) == QLatin1Char('u'));
        const int start = k - (p == QLatin1Char('8') ? 2 : 1);
        return encoding && (start == 0 || !isIdentChar(src.at(start - 1)));
    };
    while (i < n) {
        const QChar c = src.at(i);
        if (c == QLatin1Char('\n')) {
            ++line;
            ++i;
        } else if (c == QLatin1Char('/') && at(i + 1) == QLatin1Char('/')) {
            while (i < n && src.at(i) != QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('/') && at(i + 1) == QLatin1Char('*')) {
            i += 2;
            while (i < n && !(src.at(i) == QLatin1Char('*') && at(i + 1) == QLatin1Char('/'))) {
                if (src.at(i) == QLatin1Char('\n'))
                    ++line;
                ++i;
            }
            i += 2;
        } else if (c == QLatin1Char('R') && at(i + 1) == QLatin1Char('"') && rawPrefixOk(i)) {
            // Raw string R"delim( ... )delim"
            const int open = int(src.indexOf(QLatin1Char('('), i + 2));
            if (open < 0)
                break;
            const QString closing = QLatin1Char(')') + src.mid(i + 2, open - i - 2) + QLatin1Char('"');
            const int close = int(src.indexOf(closing, open + 1));
            const int end = close < 0 ? n : close;
            out.append({src.mid(open + 1, end - open - 1), line});
            line += int(src.mid(i, end - i).count(QLatin1Char('\n')));
            i = close < 0 ? n : close + int(closing.size());
        } else if (c == QLatin1Char('"')) {
            const int startLine = line;
            QString text;
            ++i;
            while (i < n && src.at(i) != QLatin1Char('"') && src.at(i) != QLatin1Char('\n')) {
                if (src.at(i) == QLatin1Char('\\') && i + 1 < n) {
                    text += src.at(i);
                    ++i;
                    if (src.at(i) == QLatin1Char('\n'))
                        ++line;
                }
                text += src.at(i);
                ++i;
            }
            ++i;
            out.append({text, startLine});
        } else if (c == QLatin1Char('\'')) {
            // A digit separator (1'000) is not a character literal.
            if (i > 0 && src.at(i - 1).isLetterOrNumber() && at(i + 1).isLetterOrNumber()) {
                ++i;
                continue;
            }
            ++i;
            while (i < n && src.at(i) != QLatin1Char('\'') && src.at(i) != QLatin1Char('\n')) {
                if (src.at(i) == QLatin1Char('\\'))
                    ++i;
                ++i;
            }
            ++i;
        } else {
            ++i;
        }
    }
    return out;
}

QStringList imagePathsIn(const QString &text)
{
    static const QRegularExpression re(
        QStringLiteral("(?<!:)(/(?:image|pic)/[A-Za-z0-9_@.%{}$/\\-]*\\."
                       "(?:png|jpe?g|bmp|gif|svg|ico|webp))(?![A-Za-z0-9_])"),
        QRegularExpression::CaseInsensitiveOption);
    QStringList paths;
    auto it = re.globalMatch(text);
    while (it.hasNext()) {
        const QString path = it.next().captured(1);
        if (path.contains(QLatin1Char('%')) || path.contains(QLatin1Char('{')) || path.contains(QLatin1Char('$')))
            continue;
        paths.append(path);
    }
    return paths;
}

QList<Ref> scanTree(const QString &root)
{
    static const QStringList cppSuffixes = {"cpp", "cc", "cxx", "h", "hh", "hpp", "hxx"};
    static const QStringList textSuffixes = {"ui", "qss", "css"};
    QList<Ref> refs;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    QStringList files;
    while (it.hasNext())
        files.append(it.next());
    files.sort();
    for (const QString &file : files) {
        const QString suffix = QFileInfo(file).suffix().toLower();
        const bool cpp = cppSuffixes.contains(suffix);
        if (!cpp && !textSuffixes.contains(suffix))
            continue;
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QString source = QString::fromUtf8(f.readAll());
        if (cpp) {
            for (const Literal &lit : cppStringLiterals(source))
                for (const QString &path : imagePathsIn(lit.text))
                    refs.append({path, file, lit.line});
        } else {
            const QStringList lines = source.split(QLatin1Char('\n'));
            for (int l = 0; l < lines.size(); ++l)
                for (const QString &path : imagePathsIn(lines.at(l)))
                    refs.append({path, file, l + 1});
        }
    }
    return refs;
}

} // namespace SourceImageRefs
