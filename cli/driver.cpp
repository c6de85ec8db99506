// The command-line driver. The library reports reasons; this is the one
// place that turns them into messages, file names and exit statuses.
#include "cli/driver.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/file_search.h"
#include "cli/file_streams.h"
#include "cli/title.h"
#include "decoder/container.h"

namespace wzx {

namespace {

const char kUsage[] =
    ".wzx to .bmp converter\n"
    "usage : \n"
    "wzx2bmp.exe <wzx file name> \n"
    "\n"
    "< hit enter key >\n";
const char kPrompt[] = "< hit enter key >\n";

// Keeps a console window readable until the user presses Enter.
void waitForEnter() {
    std::fflush(stdout);
    (void)std::getchar();
}

enum class EntryOutcome { converted, damaged, fatal };

void reportOutputFailure(const OutputFile& out) {
    switch (out.failure()) {
        case OutputFailure::openFailed:
            std::fputs("fopen error\n", stderr);
            break;
        case OutputFailure::sameAsInput:
            std::fprintf(stderr, "%s: is the input file itself; not overwritten\n",
                         out.path().c_str());
            break;
        case OutputFailure::writeFailed:
        case OutputFailure::none:
            std::fprintf(stderr, "%s: write error: %s\n", out.path().c_str(),
                         std::strerror(out.errorNumber() ? out.errorNumber() : EIO));
            break;
    }
}

void reportDamage(const std::string& inputName, const InputFile& in, const DamageReport& d) {
    if (in.readError() != 0) {
        std::fprintf(stderr, "%s: read error: %s\n", inputName.c_str(),
                     std::strerror(in.readError()));
        return;
    }
    std::fprintf(stderr, "%s: damaged data: %s (block %llu, channel %u)\n", inputName.c_str(),
                 damageText(d.what), static_cast<unsigned long long>(d.block), d.channel);
}

EntryOutcome convertEntry(const std::string& inputName, const std::string& outputName) {
    InputFile in;
    if (!in.open(inputName)) {
        std::fputs("fopen error\n", stderr);
        return EntryOutcome::fatal;
    }
    OutputFile out(outputName, in.identity());
    ConvertResult result = convertFile(in, out);
    in.close();
    bool closed = out.close();
    switch (result.status) {
        case ConvertStatus::badSignature:
            std::fputs(headerCheckText(HeaderCheck::badSignature), stderr);
            return EntryOutcome::fatal;
        case ConvertStatus::unsupportedColours:
            std::fputs(headerCheckText(HeaderCheck::unsupportedColours), stderr);
            return EntryOutcome::fatal;
        case ConvertStatus::unsupportedSize:
            std::fputs(headerCheckText(HeaderCheck::unsupportedSize), stderr);
            return EntryOutcome::fatal;
        case ConvertStatus::outputFailed:
            break;
        case ConvertStatus::converted:
        case ConvertStatus::damaged:
            if (!closed) break;
            if (result.status == ConvertStatus::converted) return EntryOutcome::converted;
            reportDamage(inputName, in, result.damage);
            return EntryOutcome::damaged;
    }
    reportOutputFailure(out);
    out.discard();
    return EntryOutcome::fatal;
}

}  // namespace

int runDriver(int argc, char* argv[]) {
    if (argc != 2) {
        std::fputs(kUsage, stdout);
        waitForEnter();
        return kExitUsage;
    }
    const char* pattern = argv[1];
    bool anyDamaged = false;
    FileSearch search;
    if (!search.start(pattern)) {
        std::printf("Error: no file matched <%s>.\n", pattern);
    } else {
        for (bool more = true; more;) {
            more = search.advance();
            std::string title = entryTitle(search.currentName());
            EntryOutcome outcome = convertEntry(title + ".wzx", title + ".bmp");
            if (outcome == EntryOutcome::fatal) return kExitFailed;
            if (outcome == EntryOutcome::damaged) anyDamaged = true;
        }
    }
    search.close();
    std::fputs(kPrompt, stdout);
    waitForEnter();
    return anyDamaged ? kExitDamaged : kExitConverted;
}

}  // namespace wzx
