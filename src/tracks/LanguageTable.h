#pragma once
// ISO 639 language codes of audio and subtitle streams, and the English names
// the track lines show for them. One table serves the import worker and the
// edit dialog.

#include <QByteArray>
#include <QString>

namespace LanguageTable {

struct Record {
    const char16_t *englishName;
    const char16_t *nativeName;    // empty for most records
    char code1[3];                 // ISO 639-1, "" for "Original audio"
    char codeT[4];                 // ISO 639-2/T
    char codeB[4];                 // ISO 639-2/B (the same as /T where the standard has one code)
};

// The records in table order, ending with a record whose English name is
// empty; count() does not include that terminator.
const Record *records();
int count();

// The English name of a two- or three-letter code (case ignored), or an
// empty string when the table has no such code. Three-letter codes are
// looked up among terminology codes first, then bibliographic codes.
QString englishName(const QByteArray &code);

} // namespace LanguageTable
