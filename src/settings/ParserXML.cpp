#include "settings/ParserXML.h"

#include "base/AppPaths.h"

#include <QDebug>
#include <QDir>
#include <QDomDocument>
#include <QDomElement>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QXmlStreamReader>

#include <memory>
#include <vector>

const char ParserXML::kSettingFile[] = "VideoDefaultSetting.xml";
const char ParserXML::kFormatFile[] = "VideoDefaultFormatSetting.xml";
const char ParserXML::kConvertedFile[] = "VideoConverted.xml";

namespace {

const char kRootTag[] = "ROOTITEM";

const char kScreenshotsItem[] = "Screenshots";
const char kImgSuffixKey[] = "IMG_SUFFIX";
const char kImgFolderKey[] = "IMG_Folder";

const char kFormatTag[] = "FORMAT_";
const char kFormatIdAttr[] = "Format_ID";
const char kFormatCustomTag[] = "Format_Custom";

const char kPathItemTag[] = "Path_item";
const char kConvertedPathAttr[] = "Converted_path_";
const char kConvertedInfoTag[] = "CONVERTED_INFO_";

enum class Load {
    Missing,  // no file, or an empty one: may be created
    Parsed,   // doc holds the file's content
    Unusable, // exists but cannot be read or parsed: must not be overwritten
};

// Our files hold a few hundred entries at most. Anything far beyond these is
// not ours, and feeding it to the DOM costs without bound: its save recurses
// once per level and overflows the stack on a few thousand levels.
constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;
constexpr int kMaxDepth = 64;

// Counts the nesting with the streaming reader, which does not recurse. A
// document that is not well formed is left for the DOM to refuse.
bool nestsTooDeep(const QByteArray &data)
{
    QXmlStreamReader reader(data);
    reader.setNamespaceProcessing(false);
    int depth = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement && ++depth > kMaxDepth)
            return true;
        if (token == QXmlStreamReader::EndElement)
            --depth;
    }
    return false;
}

Load loadDocument(const QString &path, QDomDocument &doc)
{
    const QFileInfo info(path);
    if (!info.exists())
        return Load::Missing;
    // Only a regular file is read: a FIFO blocks the open for good and a
    // device such as /dev/zero never ends.
    if (!info.isFile())
        return Load::Unusable;
    if (info.size() == 0)
        return Load::Missing;
    if (info.size() > kMaxFileBytes)
        return Load::Unusable;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Load::Unusable;
    // One byte more than allowed tells a file that grew since the check.
    const QByteArray data = file.read(kMaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError || data.isEmpty() || data.size() > kMaxFileBytes)
        return Load::Unusable;
    if (nestsTooDeep(data))
        return Load::Unusable;
    if (!doc.setContent(data, false) || doc.documentElement().isNull())
        return Load::Unusable;
    return Load::Parsed;
}

QDomDocument freshDocument()
{
    QDomDocument doc;
    doc.appendChild(doc.createElement(kRootTag));
    return doc;
}

// Loads a user file, or starts a fresh document when it is missing.
// False when the file must be left alone.
bool loadOrCreate(const QString &path, QDomDocument &doc)
{
    switch (loadDocument(path, doc)) {
    case Load::Parsed:
        return true;
    case Load::Missing:
        doc = freshDocument();
        return true;
    case Load::Unusable:
        break;
    }
    return false;
}

// Replaces the file atomically; a crash or a full disk keeps the old content.
bool saveDocument(const QString &path, const QDomDocument &doc)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning("error::ParserXML->writeOperateXml->file.open\n");
        return false;
    }
    const QByteArray data = doc.toByteArray(4);
    if (file.write(data) != data.size() || !file.commit()) {
        qWarning("error::ParserXML->writeOperateXml->file.open\n");
        return false;
    }
    return true;
}

// Element and attribute names we are willing to create: plain ASCII XML names.
bool isPlainXmlName(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_.\\-]*$"));
    return re.match(name).hasMatch();
}

// Drops the characters XML 1.0 cannot carry; written as they are they would make
// the whole file unparsable, and an unparsable file is never rewritten.
QString xmlSafe(const QString &s)
{
    auto bad = [](const QString &str, qsizetype i) {
        const char16_t u = str.at(i).unicode();
        if (u < 0x20)
            return u != 0x9 && u != 0xA && u != 0xD;
        if (u == 0xFFFE || u == 0xFFFF)
            return true;
        if (QChar::isHighSurrogate(u))
            return i + 1 >= str.size() || !str.at(i + 1).isLowSurrogate();
        if (QChar::isLowSurrogate(u))
            return i == 0 || !str.at(i - 1).isHighSurrogate();
        return false;
    };
    QString out;
    bool changed = false;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (bad(s, i)) {
            if (!changed) {
                out = s.left(i);
                changed = true;
            }
            continue;
        }
        if (changed)
            out += s.at(i);
    }
    return changed ? out : s;
}

QDomElement childWithAttribute(const QDomElement &parent, const QString &tag,
                               const QString &attr, const QString &value)
{
    for (QDomElement e = parent.firstChildElement(tag); !e.isNull(); e = e.nextSiblingElement(tag)) {
        if (e.attribute(attr) == value)
            return e;
    }
    return {};
}

// The shared body of readSetting and the snapshot reads.
QString readItem(const QString &item, const QString &key, const QString &defaultValue,
                 bool fillEmptyAttribute)
{
    if (!isPlainXmlName(item) || !isPlainXmlName(key))
        return defaultValue;
    const QString path = ParserXML::settingFilePath();
    QDomDocument doc;
    if (!loadOrCreate(path, doc))
        return defaultValue;

    QDomElement root = doc.documentElement();
    QDomElement element = root.firstChildElement(item);
    if (element.isNull()) {
        element = doc.createElement(item);
        element.setAttribute(key, xmlSafe(defaultValue));
        root.appendChild(element);
        saveDocument(path, doc);
        return defaultValue;
    }

    const QString value = element.attribute(key);
    if (!value.isEmpty())
        return value;
    if (fillEmptyAttribute) {
        element.setAttribute(key, xmlSafe(defaultValue));
        saveDocument(path, doc);
    }
    return defaultValue;
}

std::unique_ptr<FormatCustomSettings> &lastFormatCustom()
{
    static std::unique_ptr<FormatCustomSettings> record;
    return record;
}

std::unique_ptr<ConvertedFileInfo> &lastConvertedFile()
{
    static std::unique_ptr<ConvertedFileInfo> record;
    return record;
}

QString snapshotFolderDefault()
{
    const QString documents = AppPaths::documentsFolder();
    const QString folder = documents + "/Screenshots/";
    return QDir().mkpath(folder) ? folder : documents;
}

} // namespace

QString ParserXML::settingsFolder()
{
    return AppPaths::dataFolder();
}

QString ParserXML::settingFilePath()
{
    return settingsFolder() + "/" + kSettingFile;
}

QString ParserXML::formatFilePath()
{
    return settingsFolder() + "/" + kFormatFile;
}

QString ParserXML::convertedFilePath()
{
    return settingsFolder() + "/" + kConvertedFile;
}

QString ParserXML::readSetting(const QString &item, const QString &key, const QString &defaultValue)
{
    return readItem(item, key, defaultValue, false);
}

void ParserXML::writeSetting(const QString &item, const QString &key, const QString &value)
{
    if (!isPlainXmlName(item) || !isPlainXmlName(key))
        return;
    const QString path = settingFilePath();
    QDomDocument doc;
    if (loadDocument(path, doc) != Load::Parsed)
        return;
    QDomElement element = doc.documentElement().firstChildElement(item);
    if (element.isNull())
        return;
    element.setAttribute(key, xmlSafe(value));
    saveDocument(path, doc);
}

QString ParserXML::readSnapshotFormat()
{
    return readItem(kScreenshotsItem, kImgSuffixKey, QStringLiteral("JPEG"), true);
}

QString ParserXML::readSnapshotFolder()
{
    return readItem(kScreenshotsItem, kImgFolderKey, snapshotFolderDefault(), true);
}

void ParserXML::writeSnapshotFormat(const QString &value)
{
    writeSetting(kScreenshotsItem, kImgSuffixKey, value);
}

void ParserXML::writeSnapshotFolder(const QString &value)
{
    writeSetting(kScreenshotsItem, kImgFolderKey, value);
}

std::optional<FormatCustomSettings> ParserXML::formatCustom(const QString &formatId)
{
    QDomDocument doc;
    if (loadDocument(formatFilePath(), doc) != Load::Parsed)
        return std::nullopt;
    const QDomElement format = childWithAttribute(doc.documentElement(), kFormatTag, kFormatIdAttr, formatId);
    const QDomElement custom = format.firstChildElement();
    if (custom.isNull())
        return std::nullopt;

    FormatCustomSettings s;
    auto text = [&custom](const char *attr) { return custom.attribute(attr).trimmed(); };
    s.onlyAudio = custom.attribute("OnlyAudio") == QLatin1String("Y");
    if (!s.onlyAudio) {
        s.videoEncoder = text("V_Encoder");
        s.videoResolution = text("V_Resolution");
        s.videoFrameRate = text("V_FrameRate");
        s.videoBitRate = text("V_BitRate");
    }
    s.audioEncoder = text("A_Encoder");
    s.audioChannel = text("A_Channel");
    s.audioSampleRate = text("A_SampleRate");
    s.audioBitRate = text("A_BitRate");
    return s;
}

const FormatCustomSettings *ParserXML::readFormatCustom(const QString &formatId)
{
    auto &last = lastFormatCustom();
    last.reset();
    if (auto found = formatCustom(formatId))
        last = std::make_unique<FormatCustomSettings>(*found);
    return last.get();
}

void ParserXML::writeFormatCustom(const QString &formatId, const FormatCustomSettings &s)
{
    const QString path = formatFilePath();
    QDomDocument doc;
    if (!loadOrCreate(path, doc))
        return;
    QDomElement root = doc.documentElement();
    const QString id = xmlSafe(formatId);
    QDomElement format = childWithAttribute(root, kFormatTag, kFormatIdAttr, id);
    if (format.isNull()) {
        format = doc.createElement(kFormatTag);
        format.setAttribute(kFormatIdAttr, id);
        root.appendChild(format);
    }
    QDomElement custom = format.firstChildElement();
    if (custom.isNull()) {
        custom = doc.createElement(kFormatCustomTag);
        format.appendChild(custom);
    }
    custom.setAttribute("OnlyAudio", s.onlyAudio ? "Y" : "N");
    custom.setAttribute("V_Encoder", xmlSafe(s.videoEncoder));
    custom.setAttribute("V_Resolution", xmlSafe(s.videoResolution));
    custom.setAttribute("V_FrameRate", xmlSafe(s.videoFrameRate));
    custom.setAttribute("V_BitRate", xmlSafe(s.videoBitRate));
    custom.setAttribute("A_Encoder", xmlSafe(s.audioEncoder));
    custom.setAttribute("A_Channel", xmlSafe(s.audioChannel));
    custom.setAttribute("A_SampleRate", xmlSafe(s.audioSampleRate));
    custom.setAttribute("A_BitRate", xmlSafe(s.audioBitRate));
    saveDocument(path, doc);
}

void ParserXML::addConvertedFile(const ConvertedFileInfo *info)
{
    if (info)
        addConvertedFile(*info);
}

void ParserXML::addConvertedFile(const ConvertedFileInfo &info)
{
    const QString path = convertedFilePath();
    QDomDocument doc;
    if (!loadOrCreate(path, doc))
        return;
    QDomElement root = doc.documentElement();
    const QString converted = xmlSafe(info.convertedPath);
    QDomElement item = childWithAttribute(root, kPathItemTag, kConvertedPathAttr, converted);
    if (item.isNull()) {
        item = doc.createElement(kPathItemTag);
        item.setAttribute(kConvertedPathAttr, converted);
        root.appendChild(item);
    }
    QDomElement details = item.firstChildElement();
    if (details.isNull()) {
        details = doc.createElement(kConvertedInfoTag);
        item.appendChild(details);
    }
    details.setAttribute("Img_path_", xmlSafe(info.imgPath));
    details.setAttribute("Resolutin_", xmlSafe(info.resolution));
    details.setAttribute("Time_", xmlSafe(info.time));
    details.setAttribute("Size_", xmlSafe(info.size));
    details.setAttribute("Extend_", xmlSafe(info.extend));
    saveDocument(path, doc);
}

namespace {

ConvertedFileInfo convertedRecord(const QDomElement &item)
{
    const QDomElement details = item.firstChildElement();
    ConvertedFileInfo info;
    info.imgPath = details.attribute("Img_path_");
    info.convertedPath = item.attribute(kConvertedPathAttr);
    info.resolution = details.attribute("Resolutin_");
    info.time = details.attribute("Time_");
    info.size = details.attribute("Size_");
    info.extend = details.attribute("Extend_");
    return info;
}

} // namespace

std::optional<ConvertedFileInfo> ParserXML::convertedFile(const QString &path)
{
    QDomDocument doc;
    if (loadDocument(convertedFilePath(), doc) != Load::Parsed)
        return std::nullopt;
    const QDomElement item = childWithAttribute(doc.documentElement(), kPathItemTag, kConvertedPathAttr, path);
    if (item.isNull())
        return std::nullopt;
    return convertedRecord(item);
}

const ConvertedFileInfo *ParserXML::findConvertedFile(const QString &path)
{
    auto &last = lastConvertedFile();
    last.reset();
    if (auto found = convertedFile(path))
        last = std::make_unique<ConvertedFileInfo>(*found);
    return last.get();
}

QList<ConvertedFileInfo> ParserXML::readConvertedFiles()
{
    const QString path = convertedFilePath();
    QDomDocument doc;
    if (loadDocument(path, doc) != Load::Parsed)
        return {};
    QDomElement root = doc.documentElement();
    QList<ConvertedFileInfo> existing;
    std::vector<QDomElement> gone;
    QHash<QString, bool> folderThere; // entries share few folders
    for (QDomElement e = root.firstChildElement(kPathItemTag); !e.isNull();
         e = e.nextSiblingElement(kPathItemTag)) {
        const QString converted = e.attribute(kConvertedPathAttr);
        const QFileInfo file(converted);
        if (!converted.isEmpty() && file.exists()) {
            existing << convertedRecord(e);
            continue;
        }
        // A file on a drive that is not plugged in now is hidden, not
        // forgotten: only a file deleted from a folder still there goes.
        const QString folder = file.absolutePath();
        auto it = folderThere.find(folder);
        if (it == folderThere.end())
            it = folderThere.insert(folder, QFileInfo(folder).isDir());
        if (converted.isEmpty() || it.value())
            gone.push_back(e);
    }
    if (!gone.empty()) {
        for (QDomElement &e : gone)
            root.removeChild(e);
        saveDocument(path, doc);
    }
    return existing;
}

QStringList ParserXML::listConvertedFiles()
{
    QStringList paths;
    for (const ConvertedFileInfo &info : readConvertedFiles())
        paths << info.convertedPath;
    return paths;
}

void ParserXML::removeConvertedFiles(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    const QString path = convertedFilePath();
    QDomDocument doc;
    if (loadDocument(path, doc) != Load::Parsed)
        return;
    const QSet<QString> doomed(paths.begin(), paths.end());
    QDomElement root = doc.documentElement();
    std::vector<QDomElement> matches;
    for (QDomElement e = root.firstChildElement(kPathItemTag); !e.isNull();
         e = e.nextSiblingElement(kPathItemTag)) {
        if (doomed.contains(e.attribute(kConvertedPathAttr)))
            matches.push_back(e);
    }
    if (matches.empty())
        return;
    for (QDomElement &e : matches)
        root.removeChild(e);
    saveDocument(path, doc);
}

QString ParserXML::languageFile(const QString &xmlPath, const QString &languageName)
{
    QDomDocument doc;
    if (loadDocument(xmlPath, doc) != Load::Parsed)
        return {};
    QString file;
    for (QDomElement e = doc.documentElement().firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        if (e.attribute("Language_Name") == languageName)
            file = e.attribute("Language_File");
    }
    return file;
}
