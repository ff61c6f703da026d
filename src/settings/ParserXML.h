#pragma once
// The program's persistent state: three small XML files in the user's settings
// folder (AppPaths::dataFolder()) and the shipped language table.
//
//   "VideoDefaultSetting.xml"        general settings: <ROOTITEM><ITEM key="value"/>...
//   "VideoDefaultFormatSetting.xml"  custom encoder parameters per output format
//   "VideoConverted.xml"             history of converted files
//
// Every operation reads, changes and rewrites the whole file; nothing is cached,
// so two windows always see the file's current content. All members are static;
// `ParserXML().readSetting(...)` and `ParserXML::readSetting(...)` are the same call.
// GUI thread only (the pointer-returning lookups keep their last record in
// process-wide storage).
//
// File rules:
//  - A missing user file is created with an empty <ROOTITEM> by the read and add
//    operations; writeSetting, removeConvertedFiles and findConvertedFile leave it
//    missing. A 0-byte file holds nothing to lose and counts as missing.
//  - A file that exists but does not parse (or cannot be read) is never
//    overwritten: reads give their defaults, null or an empty list; writes do nothing.
//    So is a file that is not a regular file (a FIFO, a link to a device), one
//    over 4 MB and one nested deeper than 64 elements: they are never parsed.
//  - Writes go to a temporary file that atomically replaces the old one, so a crash
//    or a full disk never leaves a truncated file. A failed write logs
//    "error::ParserXML->writeOperateXml->file.open\n" and the change is dropped.
//  - Files are UTF-8, indented by 4, without an XML declaration.
//  - Item and key names that are not plain XML names are refused (the default is
//    returned and the file left alone); characters that XML cannot carry are
//    dropped from values, so a value can never make its file unreadable.

#include "settings/SettingsRecords.h"

#include <QString>
#include <QStringList>

#include <optional>

class ParserXML
{
public:
    // File names inside settingsFolder().
    static const char kSettingFile[];   // "VideoDefaultSetting.xml"
    static const char kFormatFile[];    // "VideoDefaultFormatSetting.xml"
    static const char kConvertedFile[]; // "VideoConverted.xml"

    // The folder of the user files and their full paths ("/" separated).
    static QString settingsFolder();
    static QString settingFilePath();
    static QString formatFilePath();
    static QString convertedFilePath();

    // --- "VideoDefaultSetting.xml" ------------------------------------------

    // Attribute `key` of the first child of ROOTITEM tagged `item`. An empty or
    // missing value yields `defaultValue` (the attribute is not added); a missing
    // item is created with key = defaultValue. The file is created when missing.
    static QString readSetting(const QString &item, const QString &key, const QString &defaultValue);

    // Sets `key` on the first child tagged `item`. An item that is not in the file
    // is not added: every item is read once (and thereby created) before it is written.
    static void writeSetting(const QString &item, const QString &key, const QString &value);

    // "Screenshots"/"IMG_SUFFIX" (default "JPEG") and "Screenshots"/"IMG_Folder"
    // (default documentsFolder() + "/Screenshots/", created). Unlike readSetting,
    // an empty attribute of an existing element is filled with the default.
    static QString readSnapshotFormat();
    static QString readSnapshotFolder();
    static void writeSnapshotFormat(const QString &value);
    static void writeSnapshotFolder(const QString &value);

    // --- "VideoDefaultFormatSetting.xml" ------------------------------------

    // The stored parameters of `formatId`, or null when there are none (file
    // missing or unreadable, no such FORMAT_ element, or an element without a
    // child). The record stays owned by ParserXML and is deleted by the next
    // readFormatCustom call: copy what you need before calling again.
    static const FormatCustomSettings *readFormatCustom(const QString &formatId);
    // The same lookup returning a copy.
    static std::optional<FormatCustomSettings> formatCustom(const QString &formatId);

    static void writeFormatCustom(const QString &formatId, const FormatCustomSettings &settings);

    // --- "VideoConverted.xml" ------------------------------------------------

    // Records `info` under its convertedPath; an entry with the same path has its
    // values replaced in place. Null does nothing.
    static void addConvertedFile(const ConvertedFileInfo *info);
    static void addConvertedFile(const ConvertedFileInfo &info);

    // The entry whose path equals `path` exactly (case-sensitive), or null. The
    // record stays owned by ParserXML until the next findConvertedFile call.
    static const ConvertedFileInfo *findConvertedFile(const QString &path);
    // The same lookup returning a copy.
    static std::optional<ConvertedFileInfo> convertedFile(const QString &path);

    // The entries in file order whose files exist, read in one pass. An entry
    // whose file is gone from a folder that still exists is removed from the
    // history; one whose folder is missing (an unplugged drive) is only left
    // out of the answer and stays in the file.
    static QList<ConvertedFileInfo> readConvertedFiles();
    // The paths of readConvertedFiles().
    static QStringList listConvertedFiles();

    // Removes every entry whose path is in `paths`.
    static void removeConvertedFiles(const QStringList &paths);

    // --- language table ------------------------------------------------------

    // "Language_File" of the child of the document element whose "Language_Name"
    // is `languageName` (the last match wins); empty when there is none or the
    // file is missing or unreadable. The file is only read.
    static QString languageFile(const QString &xmlPath, const QString &languageName);
};
