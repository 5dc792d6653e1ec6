// Entity and character references in attribute values and text.
//
// A reference is "&", one to nine ASCII units other than ";", then ";". It is folded to lower case
// first, so names are found whatever their case; where HTML has two names differing only in case
// ("Eacute"/"eacute") the capitalised one is met first in its bucket and wins. Anything that is
// not a reference is copied as it stands.
#include "markup/MarkupScanner.h"

#include <climits>
#include <iterator>

namespace kelvo {

namespace {

struct Entity {
    std::u16string_view name;
    char16_t unit;
};

constexpr std::u16string_view kLatin1Names[96] = {
    u"nbsp",   u"iexcl",  u"cent",   u"pound",  u"curren", u"yen",    u"brvbar", u"sect",   u"uml",
    u"copy",   u"ordf",   u"laquo",  u"not",    u"shy",    u"reg",    u"macr",   u"deg",    u"plusmn",
    u"sup2",   u"sup3",   u"acute",  u"micro",  u"para",   u"middot", u"cedil",  u"sup1",   u"ordm",
    u"raquo",  u"frac14", u"frac12", u"frac34", u"iquest", u"Agrave", u"Aacute", u"Acirc",  u"Atilde",
    u"Auml",   u"Aring",  u"AElig",  u"Ccedil", u"Egrave", u"Eacute", u"Ecirc",  u"Euml",   u"Igrave",
    u"Iacute", u"Icirc",  u"Iuml",   u"ETH",    u"Ntilde", u"Ograve", u"Oacute", u"Ocirc",  u"Otilde",
    u"Ouml",   u"times",  u"Oslash", u"Ugrave", u"Uacute", u"Ucirc",  u"Uuml",   u"Yacute", u"THORN",
    u"szlig",  u"agrave", u"aacute", u"acirc",  u"atilde", u"auml",   u"aring",  u"aelig",  u"ccedil",
    u"egrave", u"eacute", u"ecirc",  u"euml",   u"igrave", u"iacute", u"icirc",  u"iuml",   u"eth",
    u"ntilde", u"ograve", u"oacute", u"ocirc",  u"otilde", u"ouml",   u"divide", u"oslash", u"ugrave",
    u"uacute", u"ucirc",  u"uuml",   u"yacute", u"thorn",  u"yuml",
};

// HTML 4.01's symbol and special sets, and "apos".
constexpr Entity kOtherEntities[] = {
    {u"fnof", 402},     {u"Alpha", 913},   {u"Beta", 914},    {u"Gamma", 915},    {u"Delta", 916},
    {u"Epsilon", 917},  {u"Zeta", 918},    {u"Eta", 919},     {u"Theta", 920},    {u"Iota", 921},
    {u"Kappa", 922},    {u"Lambda", 923},  {u"Mu", 924},      {u"Nu", 925},       {u"Xi", 926},
    {u"Omicron", 927},  {u"Pi", 928},      {u"Rho", 929},     {u"Sigma", 931},    {u"Tau", 932},
    {u"Upsilon", 933},  {u"Phi", 934},     {u"Chi", 935},     {u"Psi", 936},      {u"Omega", 937},
    {u"alpha", 945},    {u"beta", 946},    {u"gamma", 947},   {u"delta", 948},    {u"epsilon", 949},
    {u"zeta", 950},     {u"eta", 951},     {u"theta", 952},   {u"iota", 953},     {u"kappa", 954},
    {u"lambda", 955},   {u"mu", 956},      {u"nu", 957},      {u"xi", 958},       {u"omicron", 959},
    {u"pi", 960},       {u"rho", 961},     {u"sigmaf", 962},  {u"sigma", 963},    {u"tau", 964},
    {u"upsilon", 965},  {u"phi", 966},     {u"chi", 967},     {u"psi", 968},      {u"omega", 969},
    {u"thetasym", 977}, {u"upsih", 978},   {u"piv", 982},     {u"bull", 8226},    {u"hellip", 8230},
    {u"prime", 8242},   {u"Prime", 8243},  {u"oline", 8254},  {u"frasl", 8260},   {u"weierp", 8472},
    {u"image", 8465},   {u"real", 8476},   {u"trade", 8482},  {u"alefsym", 8501}, {u"larr", 8592},
    {u"uarr", 8593},    {u"rarr", 8594},   {u"darr", 8595},   {u"harr", 8596},    {u"crarr", 8629},
    {u"lArr", 8656},    {u"uArr", 8657},   {u"rArr", 8658},   {u"dArr", 8659},    {u"hArr", 8660},
    {u"forall", 8704},  {u"part", 8706},   {u"exist", 8707},  {u"empty", 8709},   {u"nabla", 8711},
    {u"isin", 8712},    {u"notin", 8713},  {u"ni", 8715},     {u"prod", 8719},    {u"sum", 8721},
    {u"minus", 8722},   {u"lowast", 8727}, {u"radic", 8730},  {u"prop", 8733},    {u"infin", 8734},
    {u"ang", 8736},     {u"and", 8743},    {u"or", 8744},     {u"cap", 8745},     {u"cup", 8746},
    {u"int", 8747},     {u"there4", 8756}, {u"sim", 8764},    {u"cong", 8773},    {u"asymp", 8776},
    {u"ne", 8800},      {u"equiv", 8801},  {u"le", 8804},     {u"ge", 8805},      {u"sub", 8834},
    {u"sup", 8835},     {u"nsub", 8836},   {u"sube", 8838},   {u"supe", 8839},    {u"oplus", 8853},
    {u"otimes", 8855},  {u"perp", 8869},   {u"sdot", 8901},   {u"lceil", 8968},   {u"rceil", 8969},
    {u"lfloor", 8970},  {u"rfloor", 8971}, {u"lang", 9001},   {u"rang", 9002},    {u"loz", 9674},
    {u"spades", 9824},  {u"clubs", 9827},  {u"hearts", 9829}, {u"diams", 9830},   {u"quot", 34},
    {u"amp", 38},       {u"lt", 60},       {u"gt", 62},       {u"OElig", 338},    {u"oelig", 339},
    {u"Scaron", 352},   {u"scaron", 353},  {u"Yuml", 376},    {u"circ", 710},     {u"tilde", 732},
    {u"ensp", 8194},    {u"emsp", 8195},   {u"thinsp", 8201}, {u"zwnj", 8204},    {u"zwj", 8205},
    {u"lrm", 8206},     {u"rlm", 8207},    {u"ndash", 8211},  {u"mdash", 8212},   {u"lsquo", 8216},
    {u"rsquo", 8217},   {u"sbquo", 8218},  {u"ldquo", 8220},  {u"rdquo", 8221},   {u"bdquo", 8222},
    {u"dagger", 8224},  {u"Dagger", 8225}, {u"permil", 8240}, {u"lsaquo", 8249},  {u"rsaquo", 8250},
    {u"euro", 8364},    {u"apos", 39},
};

static_assert(std::size(kLatin1Names) + std::size(kOtherEntities) == kEntityCount);

constexpr char16_t Fold(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

constexpr int BucketOf(std::u16string_view name) {
    unsigned sum = 0;
    for (char16_t c : name)
        sum += Fold(c);
    return static_cast<int>(sum % kEntityBuckets);
}

constexpr bool HasCapital(std::u16string_view name) {
    for (char16_t c : name)
        if (c >= u'A' && c <= u'Z')
            return true;
    return false;
}

constexpr bool FoldedEquals(std::u16string_view stored, std::u16string_view folded) {
    if (stored.size() != folded.size())
        return false;
    for (std::size_t i = 0; i < stored.size(); ++i)
        if (Fold(stored[i]) != folded[i])
            return false;
    return true;
}

// The 253 entries grouped by bucket; in each bucket the names with a capital letter (each of
// them has a lower-case twin in the same bucket) come first.
struct EntityTable {
    Entity entries[kEntityCount];
    std::uint16_t bucketStart[kEntityBuckets + 1];
};

constexpr EntityTable MakeEntityTable() {
    Entity all[kEntityCount] = {};
    int n = 0;
    for (int i = 0; i < 96; ++i)
        all[n++] = Entity{kLatin1Names[i], static_cast<char16_t>(160 + i)};
    for (const Entity& e : kOtherEntities)
        all[n++] = e;

    EntityTable table{};
    int bucketOf[kEntityCount] = {};
    int cursor[kEntityBuckets + 1] = {};
    for (int i = 0; i < kEntityCount; ++i) {
        bucketOf[i] = BucketOf(all[i].name);
        ++cursor[bucketOf[i] + 1];
    }
    for (int b = 0; b < kEntityBuckets; ++b)
        cursor[b + 1] += cursor[b];
    for (int b = 0; b <= kEntityBuckets; ++b)
        table.bucketStart[b] = static_cast<std::uint16_t>(cursor[b]);
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < kEntityCount; ++i)
            if (HasCapital(all[i].name) == (pass == 0))
                table.entries[cursor[bucketOf[i]]++] = all[i];
    return table;
}

constexpr EntityTable kEntityTable = MakeEntityTable();

// Reads digits as strtol does for a 32-bit long: leading whitespace, a sign, "0x" in base 16,
// digits up to the first unit that is not one, saturation on overflow.
std::int32_t ReadNumber(const char16_t* s, const char16_t* end, int base) {
    auto isSpace = [](char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); };
    auto digit = [base](char16_t c) -> int {
        int d = c >= u'0' && c <= u'9' ? c - u'0' : c >= u'a' && c <= u'z' ? c - u'a' + 10 : 99;
        return d < base ? d : -1;
    };
    while (s < end && isSpace(*s))
        ++s;
    bool negative = false;
    if (s < end && (*s == u'+' || *s == u'-'))
        negative = *s++ == u'-';
    if (base == 16 && end - s >= 3 && s[0] == u'0' && s[1] == u'x' && digit(s[2]) >= 0)
        s += 2;
    std::int64_t value = 0;
    const std::int64_t limit = negative ? -static_cast<std::int64_t>(INT32_MIN) : INT32_MAX;
    for (; s < end && digit(*s) >= 0; ++s) {
        value = value * base + digit(*s);
        if (value > limit)
            value = limit;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

} // namespace

char16_t LookupEntity(std::u16string_view foldedName) {
    const int bucket = BucketOf(foldedName);
    for (int i = kEntityTable.bucketStart[bucket]; i < kEntityTable.bucketStart[bucket + 1]; ++i)
        if (FoldedEquals(kEntityTable.entries[i].name, foldedName))
            return kEntityTable.entries[i].unit;
    return 0;
}

void AppendDecoded(std::u16string& out, const char16_t* first, const char16_t* last) {
    const char16_t* run = first;
    for (const char16_t* q = first; q < last; ++q) {
        if (*q != u'&')
            continue;
        const char16_t* r = q + 1;
        while (r < last && r - q <= 9 && *r != u';' && *r < 0x80)
            ++r;
        const auto count = r - q - 1;
        if (r == last || *r != u';' || count < 1 || count > 9)
            continue;
        char16_t folded[9] = {};
        for (int i = 0; i < count; ++i)
            folded[i] = Fold(q[1 + i]);
        const std::u16string_view name(folded, static_cast<std::size_t>(count));

        char16_t units[2];
        int unitCount = 0;
        if (name[0] == u'#') {
            const bool hex = count > 1 && name[1] == u'x';
            const auto value =
                static_cast<std::uint32_t>(ReadNumber(folded + (hex ? 2 : 1), folded + count, hex ? 16 : 10));
            if (value >= 1 && value <= 0xFFFF) {
                units[unitCount++] = static_cast<char16_t>(value);
            } else if (value != 0) {
                units[unitCount++] = static_cast<char16_t>(0xD800 | (((value - 0x10000) >> 10) & 0x3FF));
                units[unitCount++] = static_cast<char16_t>(0xDC00 | (value & 0x3FF));
            }
        } else if (const char16_t unit = LookupEntity(name)) {
            units[unitCount++] = unit;
        }
        if (unitCount == 0)
            continue;
        out.append(run, q);
        out.append(units, static_cast<std::size_t>(unitCount));
        q = r;
        run = r + 1;
    }
    out.append(run, last);
}

} // namespace kelvo
