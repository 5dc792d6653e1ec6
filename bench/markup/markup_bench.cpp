// Load time of MarkupDocument against pugixml, RapidXML and expat on the same documents.
//
// Every library loads into a fresh document object each time; the time is the fastest of several
// samples, a sample being one load of a large document or a batch of loads of a small one.
//   ours      MarkupDocument(text) from UTF-16
//   pugi16    pugixml load_buffer from the same UTF-16 with parse_minimal (it converts to UTF-8 first)
//   pugi8     pugixml load_buffer_inplace from UTF-8 with parse_minimal (its fastest mode)
//   rapid8    RapidXML parse<parse_fastest> in place from UTF-8
//   expat8    expat XML_Parse from UTF-8, no handlers
// Buffers that a library parses in place are copied before the clock starts.
// MB/s is the size of the buffer each library was given over its time; the ratios are times. A
// library that stops at an error early is named under the document with how far it got: its time
// there is not that of a parse, and the ratios against it mean little.
#include "markup/MarkupDocument.h"

#include <expat.h>
#include <pugixml.hpp>
#include <rapidxml/rapidxml.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace kelvo;

namespace {

using Clock = std::chrono::steady_clock;

struct Document {
    std::string name;
    std::u16string text;
    bool hostile = false; // not XML: the reference libraries stop at the first error
    bool deep = false;    // too deep for a recursive parser
    std::string utf8;
};

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string Number(unsigned n) {
    std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}

// ---- Corpus ----

std::u16string Request(int kind) {
    switch (kind) {
    case 0:
        return u"<invoke name=\"setWindowMax\" returntype=\"xml\"><arguments></arguments></invoke>";
    case 1:
        return u"<invoke name=\"setReloadTips\" "
               u"returntype=\"xml\"><arguments><string>\u786e\u5b9a\u8981\u79bb"
               u"\u5f00\u6e38\u620f\u5417\uff1f &amp; \u91cd\u65b0\u8fde\u63a5</string></arguments></invoke>";
    default:
        return u"<invoke name=\"reload\" returntype=\"xml\"><arguments><string>server=12&amp;line=3</string>"
               u"<number>1001</number><true/><object><property id=\"mode\"><string>full</string>"
               u"</property><property "
               u"id=\"w\"><number>1920</number></property></object></arguments></invoke>";
    }
}

std::u16string MarkupHeavy(std::size_t units) {
    std::u16string out = u"<items>\n";
    for (unsigned i = 0; out.size() < units; ++i)
        out += u"  <item id=\"" + Number(i) + u"\" kind=\"k" + Number(i % 7) + u"\"><name>n" + Number(i) +
               u"</name><v a=\"1\"/><v a=\"2\"/></item>\n";
    return out + u"</items>";
}

std::u16string TextHeavy(std::size_t units) {
    static const std::u16string paragraph =
        u"Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor incididunt ut "
        u"labore et dolore magna aliqua. Ut enim ad minim veniam, quis nostrud exercitation ullamco "
        u"laboris nisi ut aliquip ex ea commodo consequat &amp; \u6e38\u620f\u4e16\u754c\u3002 Duis aute "
        u"irure dolor in reprehenderit in voluptate velit esse cillum dolore eu fugiat nulla pariatur.";
    std::u16string out = u"<doc>\n";
    while (out.size() < units)
        out += u"<p>" + paragraph + paragraph + paragraph + u"</p>\n";
    return out + u"</doc>";
}

std::u16string AttributeHeavy(std::size_t units) {
    std::u16string out = u"<rows>";
    for (unsigned i = 0; out.size() < units; ++i) {
        out += u"<row";
        for (int a = 0; a < 12; ++a)
            out += u" attribute" + Number(a) + u"=\"value " + Number(i * 12 + a) + u"\"";
        out += u"/>\n";
    }
    return out + u"</rows>";
}

std::u16string DeepNesting(int depth) {
    std::u16string out;
    for (int i = 0; i < depth; ++i)
        out += u"<node level=\"" + Number(i) + u"\">";
    out += u"leaf";
    for (int i = 0; i < depth; ++i)
        out += u"</node>";
    return out;
}

std::u16string Repeat(std::u16string_view piece, std::size_t count, std::u16string_view head = {},
                      std::u16string_view tail = {}) {
    std::u16string out(head);
    out.reserve(head.size() + piece.size() * count + tail.size());
    for (std::size_t i = 0; i < count; ++i)
        out += piece;
    return out += tail;
}

std::vector<Document> Corpus() {
    std::vector<Document> docs;
    auto add = [&docs](std::string name, std::u16string text, bool hostile = false, bool deep = false) {
        docs.push_back(Document{std::move(name), std::move(text), hostile, deep, {}});
    };
    add("request-setWindowMax", Request(0));
    add("request-setReloadTips", Request(1));
    add("request-reload", Request(2));
    add("markup-heavy-1MB", MarkupHeavy(1 << 20));
    add("markup-heavy-10MB", MarkupHeavy(10 << 20));
    add("text-heavy-1MB", TextHeavy(1 << 20));
    add("text-heavy-10MB", TextHeavy(10 << 20));
    add("attribute-heavy-1MB", AttributeHeavy(1 << 20));
    add("deep-nesting-2000", DeepNesting(2000)); // RapidXML recurses: kept within its stack
    add("attribute-value-10MB", u"<r a=\"" + std::u16string(10 << 20, u'v') + u"\"/>");
    add("comment-10MB", u"<r><!--" + std::u16string(10 << 20, u'c') + u"--></r>");
    add("unclosed-start-1M", Repeat(u"<a>", 1000000), true, true);
    add("lone-end-1M", Repeat(u"</a>", 1000000, u"<r>", u"</r>"), true);
    for (Document& d : docs)
        d.utf8 = ToUtf8(d.text);
    return docs;
}

// ---- Timing ----

// How far one load got: complete, or stopped at an error after reading this many buffer units.
struct Outcome {
    bool complete = true;
    std::size_t reached = 0;
};

struct Result {
    double seconds = 1e30;
    bool complete = true; // the library read the whole document without an error
    double reached = 1;   // the share of the buffer read before it stopped
    bool skipped = false;
};

// One library's load: prepare(i) runs before the clock for the i-th load of a batch. units is the
// size of its buffer in the units that its outcome counts.
struct Runner {
    std::size_t bytes;
    std::size_t units;
    std::function<void(int)> prepare;
    std::function<Outcome(int)> load;
    Result result;
};

// In-place parsers get a fresh copy of the UTF-8 text for every load, made before the clock runs.
struct Copies {
    std::vector<std::vector<char>> buffers;
    void Fill(const std::string& text, int i) {
        if (buffers.size() <= static_cast<std::size_t>(i))
            buffers.resize(static_cast<std::size_t>(i) + 1);
        buffers[i].assign(text.begin(), text.end());
        buffers[i].push_back('\0');
    }
};

// Samples of the libraries alternate so that a busy machine slows them alike; each keeps its
// fastest sample. A sample is one load of a large document or a batch of loads of a small one.
void MeasureAll(std::vector<Runner>& runners, std::size_t units) {
    const int batch = units < (32 << 10) ? std::max<int>(1, static_cast<int>((128 << 10) / (units + 1))) : 1;
    const int rounds = units < (1 << 20) ? 40 : 12;
    for (int round = 0; round < rounds; ++round) {
        for (Runner& r : runners) {
            if (r.result.skipped)
                continue;
            for (int i = 0; i < batch; ++i)
                r.prepare(i);
            Outcome outcome;
            const auto start = Clock::now();
            for (int i = 0; i < batch; ++i)
                outcome = r.load(i);
            const double t = std::chrono::duration<double>(Clock::now() - start).count() / batch;
            r.result.seconds = std::min(r.result.seconds, t);
            r.result.complete = outcome.complete;
            r.result.reached = outcome.complete
                                   ? 1.0
                                   : static_cast<double>(outcome.reached) / std::max<std::size_t>(1, r.units);
        }
    }
}

std::vector<Runner> Runners(const Document& d, Copies& pugiCopies, Copies& rapidCopies) {
    std::vector<Runner> runners;
    const std::size_t bytes16 = d.text.size() * 2;
    // Ours reads every text to its end.
    runners.push_back({bytes16,
                       d.text.size(),
                       [](int) {},
                       [&d](int) {
                           MarkupDocument doc(d.text.c_str());
                           return Outcome{};
                       },
                       {}});
    // pugixml's offset counts units of the UTF-8 text it converts to.
    auto pugiOutcome = [](const pugi::xml_parse_result& r) {
        return Outcome{static_cast<bool>(r), static_cast<std::size_t>(r.offset)};
    };
    runners.push_back({bytes16,
                       d.utf8.size(),
                       [](int) {},
                       [&d, pugiOutcome](int) {
                           pugi::xml_document doc;
                           return pugiOutcome(doc.load_buffer(d.text.data(), d.text.size() * 2,
                                                              pugi::parse_minimal, pugi::encoding_utf16_le));
                       },
                       {}});
    runners.push_back({d.utf8.size(),
                       d.utf8.size(),
                       [&](int i) { pugiCopies.Fill(d.utf8, i); },
                       [&, pugiOutcome](int i) {
                           pugi::xml_document doc;
                           return pugiOutcome(doc.load_buffer_inplace(pugiCopies.buffers[i].data(),
                                                                      d.utf8.size(), pugi::parse_minimal,
                                                                      pugi::encoding_utf8));
                       },
                       {}});
    runners.push_back({d.utf8.size(),
                       d.utf8.size(),
                       [&](int i) { rapidCopies.Fill(d.utf8, i); },
                       [&](int i) {
                           rapidxml::xml_document<char> doc;
                           char* text = rapidCopies.buffers[i].data();
                           try {
                               doc.parse<rapidxml::parse_fastest>(text);
                           } catch (const rapidxml::parse_error& e) {
                               return Outcome{false, static_cast<std::size_t>(e.where<char>() - text)};
                           }
                           return Outcome{};
                       },
                       {}});
    // RapidXML recurses once per open element: a million of them would overflow the stack.
    runners.back().result.skipped = d.deep;
    runners.push_back({d.utf8.size(),
                       d.utf8.size(),
                       [](int) {},
                       [&d](int) {
                           XML_Parser parser = XML_ParserCreate("UTF-8");
                           Outcome outcome;
                           outcome.complete =
                               XML_Parse(parser, d.utf8.data(), static_cast<int>(d.utf8.size()), XML_TRUE) ==
                               XML_STATUS_OK;
                           if (!outcome.complete)
                               outcome.reached = static_cast<std::size_t>(XML_GetCurrentByteIndex(parser));
                           XML_ParserFree(parser);
                           return outcome;
                       },
                       {}});
    return runners;
}

constexpr const char* kNames[] = {"ours", "pugi16", "pugi8", "rapid8", "expat8"};

std::string Cell(const Result& r, std::size_t bytes) {
    if (r.skipped)
        return "      n/a ";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%9.1f%s", bytes / r.seconds / 1e6, r.complete ? " " : "*");
    return buf;
}

} // namespace

// With arguments, only the documents whose names contain one of them are measured.
int main(int argc, char** argv) {
    std::vector<Document> docs = Corpus();
    if (argc > 1)
        std::erase_if(docs, [&](const Document& d) {
            return std::none_of(argv + 1, argv + argc,
                                [&](const char* part) { return d.name.find(part) != std::string::npos; });
        });
    std::printf(
        "MB/s (buffer given / fastest load); * = stopped at an error, the time covers a partial read\n");
    std::printf(
        "ratio16 = ours / pugixml from the same UTF-16; ratio8 = ours / pugixml from UTF-8 in place\n\n");
    std::printf("%-22s %10s %10s %10s %10s %10s %10s %8s %8s\n", "document", "units", "ours", "pugi16",
                "pugi8", "rapid8", "expat8", "ratio16", "ratio8");
    double worst16 = -1;
    for (const Document& d : docs) {
        Copies pugiCopies, rapidCopies;
        std::vector<Runner> runners = Runners(d, pugiCopies, rapidCopies);
        MeasureAll(runners, d.text.size());
        const double ratio16 = runners[0].result.seconds / runners[1].result.seconds;
        const double ratio8 = runners[0].result.seconds / runners[2].result.seconds;
        if (!d.hostile)
            worst16 = std::max(worst16, ratio16);
        std::printf("%-22s %10zu", d.name.c_str(), d.text.size());
        for (const Runner& r : runners)
            std::printf(" %s", Cell(r.result, r.bytes).c_str());
        std::printf(" %8.2f %8.2f%s\n", ratio16, ratio8, d.hostile ? "  (not XML)" : "");
        // A library that gives up early has not done the work that ours did: say so rather than let
        // the ratio pass for a comparison of parsers.
        std::string early;
        for (std::size_t i = 1; i < runners.size() && i < std::size(kNames); ++i) {
            const Result& r = runners[i].result;
            if (r.skipped || r.reached >= 0.99)
                continue;
            char buf[64];
            std::snprintf(buf, sizeof buf, "%s%s at %.2f%%", early.empty() ? "" : ", ", kNames[i],
                          100 * r.reached);
            early += buf;
        }
        if (!early.empty())
            std::printf("  stopped at the first error: %s of the text%s\n", early.c_str(),
                        runners[1].result.reached < 0.99
                            ? "; pugi16's time is mostly its conversion to UTF-8, so the ratios are not "
                              "parse against parse"
                            : "");
        std::fflush(stdout);
    }
    if (worst16 >= 0)
        std::printf("\nworst ratio16 over the XML documents: %.2f\n", worst16);
    return 0;
}
