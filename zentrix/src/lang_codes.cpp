#include "lang_codes.h"

#include <cstring>

namespace zx {
namespace {

struct CodePair {
    char two[3];
    char three[4];
};

// ISO 639-1 codes with their ISO 639-2 bibliographic codes, sorted by the
// two-letter code. DVDs label their streams with the two-letter codes. The
// withdrawn codes of Croatian, Serbian and Moldavian give their successors.
const CodePair kCodes[] = {
    {"aa", "aar"}, {"ab", "abk"}, {"af", "afr"}, {"am", "amh"}, {"ar", "ara"}, {"as", "asm"}, {"ay", "aym"}, {"az", "aze"},
    {"ba", "bak"}, {"be", "bel"}, {"bg", "bul"}, {"bh", "bih"}, {"bi", "bis"}, {"bn", "ben"}, {"bo", "tib"}, {"br", "bre"},
    {"bs", "bos"}, {"ca", "cat"}, {"ce", "che"}, {"ch", "cha"}, {"co", "cos"}, {"cs", "cze"}, {"cu", "chu"}, {"cv", "chv"},
    {"cy", "wel"}, {"da", "dan"}, {"de", "ger"}, {"dz", "dzo"}, {"el", "gre"}, {"en", "eng"}, {"eo", "epo"}, {"es", "spa"},
    {"et", "est"}, {"eu", "baq"}, {"fa", "per"}, {"fi", "fin"}, {"fj", "fij"}, {"fo", "fao"}, {"fr", "fre"}, {"fy", "fry"},
    {"ga", "gle"}, {"gd", "gla"}, {"gl", "glg"}, {"gn", "grn"}, {"gu", "guj"}, {"gv", "glv"}, {"ha", "hau"}, {"he", "heb"},
    {"hi", "hin"}, {"ho", "hmo"}, {"hr", "hrv"}, {"hu", "hun"}, {"hy", "arm"}, {"hz", "her"}, {"ia", "ina"}, {"id", "ind"},
    {"ie", "ile"}, {"ik", "ipk"}, {"is", "ice"}, {"it", "ita"}, {"iu", "iku"}, {"ja", "jpn"}, {"jv", "jav"}, {"ka", "geo"},
    {"ki", "kik"}, {"kj", "kua"}, {"kk", "kaz"}, {"kl", "kal"}, {"km", "khm"}, {"kn", "kan"}, {"ko", "kor"}, {"ks", "kas"},
    {"ku", "kur"}, {"kv", "kom"}, {"kw", "cor"}, {"ky", "kir"}, {"la", "lat"}, {"lb", "ltz"}, {"ln", "lin"}, {"lo", "lao"},
    {"lt", "lit"}, {"lv", "lav"}, {"mg", "mlg"}, {"mh", "mah"}, {"mi", "mao"}, {"mk", "mac"}, {"ml", "mal"}, {"mn", "mon"},
    {"mo", "rum"}, {"mr", "mar"}, {"ms", "may"}, {"mt", "mlt"}, {"my", "bur"}, {"na", "nau"}, {"nb", "nob"}, {"nd", "nde"},
    {"ne", "nep"}, {"ng", "ndo"}, {"nl", "dut"}, {"nn", "nno"}, {"no", "nor"}, {"nr", "nbl"}, {"nv", "nav"}, {"ny", "nya"},
    {"oc", "oci"}, {"om", "orm"}, {"or", "ori"}, {"os", "oss"}, {"pa", "pan"}, {"pi", "pli"}, {"pl", "pol"}, {"ps", "pus"},
    {"pt", "por"}, {"qu", "que"}, {"rm", "roh"}, {"rn", "run"}, {"ro", "rum"}, {"ru", "rus"}, {"rw", "kin"}, {"sa", "san"},
    {"sc", "srd"}, {"sd", "snd"}, {"se", "sme"}, {"sg", "sag"}, {"si", "sin"}, {"sk", "slo"}, {"sl", "slv"}, {"sm", "smo"},
    {"sn", "sna"}, {"so", "som"}, {"sq", "alb"}, {"sr", "srp"}, {"ss", "ssw"}, {"st", "sot"}, {"su", "sun"}, {"sv", "swe"},
    {"sw", "swa"}, {"ta", "tam"}, {"te", "tel"}, {"tg", "tgk"}, {"th", "tha"}, {"ti", "tir"}, {"tk", "tuk"}, {"tl", "tgl"},
    {"tn", "tsn"}, {"to", "ton"}, {"tr", "tur"}, {"ts", "tso"}, {"tt", "tat"}, {"tw", "twi"}, {"ty", "tah"}, {"ug", "uig"},
    {"uk", "ukr"}, {"ur", "urd"}, {"uz", "uzb"}, {"vi", "vie"}, {"vo", "vol"}, {"wo", "wol"}, {"xh", "xho"}, {"yi", "yid"},
    {"yo", "yor"}, {"za", "zha"}, {"zh", "chi"}, {"zu", "zul"},
};

} // namespace

const char *threeLetterLanguage(const char *code)
{
    if (!code)
        return nullptr;
    const size_t n = std::strlen(code);
    if (n == 3)
        return code;
    if (n != 2)
        return nullptr;
    const char lower[3] = {char(code[0] | 0x20), char(code[1] | 0x20), 0};
    for (const CodePair &c : kCodes)
        if (std::strcmp(c.two, lower) == 0)
            return c.three;
    return nullptr;
}

} // namespace zx
