#include "tracks/LanguageTable.h"

namespace LanguageTable {

namespace {

// ISO 639-1 languages with their ISO 639-2 codes, in the order of their
// English names, as the DVD authoring tools of the early 2000s knew them:
// the two-letter codes of ISO 639-1:2002 before that edition's additions
// for languages that until then only had three-letter codes (Akan,
// Aragonese, Avaric, Bambara, Cree, Divehi, Ewe, Fulah, Haitian, Igbo,
// Sichuan Yi, Ido, Kongo, Kanuri, Ganda, Limburgan, Luba-Katanga, Ojibwa,
// Venda, Walloon), and without Avestan and the deprecated Serbo-Croatian.
// The names are the ones of that time ("Gallegan", "Letzeburgesch",
// "Norwegian Bokmaal"...) because the track lines show them as they stand.
// Moldavian "mo"/"mol" and the bibliographic "scc"/"scr" are kept: older
// discs and files still carry them. Croatian sits right after Serbian, and
// Irish and Manx after the other Gaelic languages, as the old lists had
// them. "od"/"osd" and "qaa" are not languages but appear as stream codes
// on discs (on-screen display, original audio track).
const Record kRecords[] = {
    {u"Abkhazian", u"", "ab", "abk", "abk"},
    {u"Afar", u"", "aa", "aar", "aar"},
    {u"Afrikaans", u"", "af", "afr", "afr"},
    {u"Albanian", u"", "sq", "sqi", "alb"},
    {u"Amharic", u"", "am", "amh", "amh"},
    {u"Arabic", u"العربية", "ar", "ara", "ara"},
    {u"Armenian", u"", "hy", "hye", "arm"},
    {u"Assamese", u"", "as", "asm", "asm"},
    {u"Aymara", u"", "ay", "aym", "aym"},
    {u"Azerbaijani", u"", "az", "aze", "aze"},
    {u"Bashkir", u"", "ba", "bak", "bak"},
    {u"Basque", u"", "eu", "eus", "baq"},
    {u"Belarusian", u"", "be", "bel", "bel"},
    {u"Bengali", u"", "bn", "ben", "ben"},
    {u"Bihari", u"", "bh", "bih", "bih"},
    {u"Bislama", u"", "bi", "bis", "bis"},
    {u"Bosnian", u"", "bs", "bos", "bos"},
    {u"Breton", u"", "br", "bre", "bre"},
    {u"Bulgarian", u"Български", "bg", "bul", "bul"},
    {u"Burmese", u"", "my", "mya", "bur"},
    {u"Catalan", u"Català", "ca", "cat", "cat"},
    {u"Chamorro", u"", "ch", "cha", "cha"},
    {u"Chechen", u"", "ce", "che", "che"},
    {u"Chichewa; Nyanja", u"", "ny", "nya", "nya"},
    {u"Chinese", u"中文", "zh", "zho", "chi"},
    {u"Church Slavic", u"", "cu", "chu", "chu"},
    {u"Chuvash", u"", "cv", "chv", "chv"},
    {u"Cornish", u"", "kw", "cor", "cor"},
    {u"Corsican", u"", "co", "cos", "cos"},
    {u"Czech", u"Čeština", "cs", "ces", "cze"},
    {u"Danish", u"Dansk", "da", "dan", "dan"},
    {u"Dutch", u"Nederlands", "nl", "nld", "dut"},
    {u"Dzongkha", u"", "dz", "dzo", "dzo"},
    {u"English", u"English", "en", "eng", "eng"},
    {u"Esperanto", u"", "eo", "epo", "epo"},
    {u"Estonian", u"Eesti", "et", "est", "est"},
    {u"Faroese", u"", "fo", "fao", "fao"},
    {u"Fijian", u"", "fj", "fij", "fij"},
    {u"Finnish", u"Suomi", "fi", "fin", "fin"},
    {u"French", u"Français", "fr", "fra", "fre"},
    {u"Frisian", u"", "fy", "fry", "fry"},
    {u"Gaelic (Scots)", u"", "gd", "gla", "gla"},
    {u"Irish", u"", "ga", "gle", "gle"},
    {u"Gallegan", u"", "gl", "glg", "glg"},
    {u"Manx", u"", "gv", "glv", "glv"},
    {u"Georgian", u"", "ka", "kat", "geo"},
    {u"German", u"Deutsch", "de", "deu", "ger"},
    {u"Greek, Modern ()", u"Ελληνικά", "el", "ell", "gre"},
    {u"Guarani", u"", "gn", "grn", "grn"},
    {u"Gujarati", u"", "gu", "guj", "guj"},
    {u"Hausa", u"", "ha", "hau", "hau"},
    {u"Hebrew", u"עברית", "he", "heb", "heb"},
    {u"Herero", u"", "hz", "her", "her"},
    {u"Hindi", u"", "hi", "hin", "hin"},
    {u"Hiri Motu", u"", "ho", "hmo", "hmo"},
    {u"Hungarian", u"Magyar", "hu", "hun", "hun"},
    {u"Icelandic", u"Íslenska", "is", "isl", "ice"},
    {u"Indonesian", u"Bahasa Indonesia", "id", "ind", "ind"},
    {u"Interlingua", u"", "ia", "ina", "ina"},
    {u"Interlingue", u"", "ie", "ile", "ile"},
    {u"Inuktitut", u"", "iu", "iku", "iku"},
    {u"Inupiaq", u"", "ik", "ipk", "ipk"},
    {u"Italian", u"Italiano", "it", "ita", "ita"},
    {u"Japanese", u"日本語", "ja", "jpn", "jpn"},
    {u"Javanese", u"", "jv", "jav", "jav"},
    {u"Kalaallisut (Greenlandic)", u"", "kl", "kal", "kal"},
    {u"Kannada", u"", "kn", "kan", "kan"},
    {u"Kashmiri", u"", "ks", "kas", "kas"},
    {u"Kazakh", u"", "kk", "kaz", "kaz"},
    {u"Khmer", u"", "km", "khm", "khm"},
    {u"Kikuyu", u"", "ki", "kik", "kik"},
    {u"Kinyarwanda", u"", "rw", "kin", "kin"},
    {u"Kirghiz", u"", "ky", "kir", "kir"},
    {u"Komi", u"", "kv", "kom", "kom"},
    {u"Korean", u"한국어", "ko", "kor", "kor"},
    {u"Kuanyama", u"", "kj", "kua", "kua"},
    {u"Kurdish", u"", "ku", "kur", "kur"},
    {u"Lao", u"", "lo", "lao", "lao"},
    {u"Latin", u"", "la", "lat", "lat"},
    {u"Latvian", u"Latviešu", "lv", "lav", "lav"},
    {u"Letzeburgesch", u"", "lb", "ltz", "ltz"},
    {u"Lingala", u"", "ln", "lin", "lin"},
    {u"Lithuanian", u"Lietuvių", "lt", "lit", "lit"},
    {u"Macedonian", u"", "mk", "mkd", "mac"},
    {u"Malagasy", u"", "mg", "mlg", "mlg"},
    {u"Malay", u"", "ms", "msa", "may"},
    {u"Malayalam", u"", "ml", "mal", "mal"},
    {u"Maltese", u"", "mt", "mlt", "mlt"},
    {u"Maori", u"", "mi", "mri", "mao"},
    {u"Marathi", u"", "mr", "mar", "mar"},
    {u"Marshallese", u"", "mh", "mah", "mah"},
    {u"Moldavian", u"", "mo", "mol", "mol"},
    {u"Mongolian", u"", "mn", "mon", "mon"},
    {u"Nauru", u"", "na", "nau", "nau"},
    {u"Navajo", u"", "nv", "nav", "nav"},
    {u"Ndebele, North", u"", "nd", "nde", "nde"},
    {u"Ndebele, South", u"", "nr", "nbl", "nbl"},
    {u"Ndonga", u"", "ng", "ndo", "ndo"},
    {u"Nepali", u"", "ne", "nep", "nep"},
    {u"Northern Sami", u"", "se", "sme", "sme"},
    {u"Norwegian", u"Norsk", "no", "nor", "nor"},
    {u"Norwegian Bokmaal", u"Norsk bokmål", "nb", "nob", "nob"},
    {u"Norwegian Nynorsk", u"Norsk nynorsk", "nn", "nno", "nno"},
    {u"Occitan (post 1500); Provencal", u"", "oc", "oci", "oci"},
    {u"On Screen Display", u"On Screen Display", "od", "osd", "osd"},
    {u"Original audio", u"", "", "qaa", "qaa"},
    {u"Oriya", u"", "or", "ori", "ori"},
    {u"Oromo", u"", "om", "orm", "orm"},
    {u"Ossetian; Ossetic", u"", "os", "oss", "oss"},
    {u"Pali", u"", "pi", "pli", "pli"},
    {u"Panjabi", u"", "pa", "pan", "pan"},
    {u"Persian", u"فارسی", "fa", "fas", "per"},
    {u"Polish", u"Polski", "pl", "pol", "pol"},
    {u"Portuguese", u"Português", "pt", "por", "por"},
    {u"Pushto", u"", "ps", "pus", "pus"},
    {u"Quechua", u"", "qu", "que", "que"},
    {u"Raeto-Romance", u"", "rm", "roh", "roh"},
    {u"Romanian", u"Română", "ro", "ron", "rum"},
    {u"Rundi", u"", "rn", "run", "run"},
    {u"Russian", u"Русский", "ru", "rus", "rus"},
    {u"Samoan", u"", "sm", "smo", "smo"},
    {u"Sango", u"", "sg", "sag", "sag"},
    {u"Sanskrit", u"", "sa", "san", "san"},
    {u"Sardinian", u"", "sc", "srd", "srd"},
    {u"Serbian", u"Српски", "sr", "srp", "scc"},
    {u"Croatian", u"Hrvatski", "hr", "hrv", "scr"},
    {u"Shona", u"", "sn", "sna", "sna"},
    {u"Sindhi", u"", "sd", "snd", "snd"},
    {u"Sinhalese", u"", "si", "sin", "sin"},
    {u"Slovak", u"Slovenčina", "sk", "slk", "slo"},
    {u"Slovenian", u"Slovenščina", "sl", "slv", "slv"},
    {u"Somali", u"", "so", "som", "som"},
    {u"Sotho, Southern", u"", "st", "sot", "sot"},
    {u"Spanish", u"Español", "es", "spa", "spa"},
    {u"Sundanese", u"", "su", "sun", "sun"},
    {u"Swahili", u"", "sw", "swa", "swa"},
    {u"Swati", u"", "ss", "ssw", "ssw"},
    {u"Swedish", u"Svenska", "sv", "swe", "swe"},
    {u"Tagalog", u"", "tl", "tgl", "tgl"},
    {u"Tahitian", u"", "ty", "tah", "tah"},
    {u"Tajik", u"", "tg", "tgk", "tgk"},
    {u"Tamil", u"", "ta", "tam", "tam"},
    {u"Tatar", u"", "tt", "tat", "tat"},
    {u"Telugu", u"", "te", "tel", "tel"},
    {u"Thai", u"", "th", "tha", "tha"},
    {u"Tibetan", u"", "bo", "bod", "tib"},
    {u"Tigrinya", u"", "ti", "tir", "tir"},
    {u"Tonga (Tonga Islands)", u"", "to", "ton", "ton"},
    {u"Tsonga", u"", "ts", "tso", "tso"},
    {u"Tswana", u"", "tn", "tsn", "tsn"},
    {u"Turkish", u"Türkçe", "tr", "tur", "tur"},
    {u"Turkmen", u"", "tk", "tuk", "tuk"},
    {u"Twi", u"", "tw", "twi", "twi"},
    {u"Uighur", u"", "ug", "uig", "uig"},
    {u"Ukrainian", u"Українська", "uk", "ukr", "ukr"},
    {u"Urdu", u"", "ur", "urd", "urd"},
    {u"Uzbek", u"", "uz", "uzb", "uzb"},
    {u"Vietnamese", u"", "vi", "vie", "vie"},
    {u"Volapuk", u"", "vo", "vol", "vol"},
    {u"Welsh", u"", "cy", "cym", "wel"},
    {u"Wolof", u"", "wo", "wol", "wol"},
    {u"Xhosa", u"", "xh", "xho", "xho"},
    {u"Yiddish", u"", "yi", "yid", "yid"},
    {u"Yoruba", u"", "yo", "yor", "yor"},
    {u"Zhuang", u"", "za", "zha", "zha"},
    {u"Zulu", u"", "zu", "zul", "zul"},
    {u"", u"", "", "", ""},
};

constexpr int kCount = int(sizeof kRecords / sizeof kRecords[0]) - 1;

// Codes in the table are lower-case ASCII; only ASCII letters of the
// probed code are folded, so no locale can make "I" match "ı". A code with
// NUL bytes must not match the empty two-letter code of "Original audio".
bool sameCode(const QByteArray &code, const char *tableCode)
{
    for (int i = 0; i < code.size(); ++i) {
        char c = code.at(i);
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (tableCode[i] == '\0' || c != tableCode[i])
            return false;
    }
    return tableCode[code.size()] == '\0';
}

} // namespace

const Record *records() { return kRecords; }

int count() { return kCount; }

QString englishName(const QByteArray &code)
{
    auto find = [&code](auto field) -> QString {
        for (int i = 0; i < kCount; ++i) {
            if (sameCode(code, kRecords[i].*field))
                return QString::fromUtf16(kRecords[i].englishName);
        }
        return QString();
    };

    if (code.size() == 2)
        return find(&Record::code1);
    if (code.size() == 3) {
        const QString name = find(&Record::codeT);
        return name.isEmpty() ? find(&Record::codeB) : name;
    }
    return QString();
}

} // namespace LanguageTable
