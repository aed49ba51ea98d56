// libFuzzer target: any bytes as a .cmdat project file. The reader must
// answer every input with a result (never crash, never read out of bounds),
// and what it accepts must survive a save and a second read unchanged.

#include "core/keycombination.h"
#include "core/projectfile.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const projectfile::LoadResult result = projectfile::parse(bytes);
    (void)projectfile::loadErrorText(result, QStringLiteral("fuzz.cmdat"), true);
    (void)projectfile::loadErrorLine(result, QStringLiteral("fuzz.cmdat"), false);
    if (result.status != projectfile::LoadStatus::Ok)
        return 0;
    (void)projectfile::isShowable(result.commands, result.conditions);
    // The key texts of Key pages and Key conditions go to the key parser.
    for (const projectfile::Pages *pages : {&result.commands, &result.conditions})
        for (const QStringList &page : *pages)
            for (const QString &value : page)
                (void)keyCombinationDisplayText(value, InvalidKeyText::InvalidKey);
    const QByteArray saved = projectfile::serialize(result.commands, result.conditions);
    const projectfile::LoadResult again = projectfile::parse(saved);
    if (again.status != projectfile::LoadStatus::Ok || again.commands != result.commands ||
        again.conditions != result.conditions)
        std::abort(); // a project that changes when saved and read again
    return 0;
}
