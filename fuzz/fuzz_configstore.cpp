// libFuzzer target: any bytes as the settings file. Every input gives a
// status and settings the program can use, and the settings written back
// read as the same values.

#include "core/configstore.h"
#include "core/keycombination.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    configstore::Settings settings;
    if (configstore::parse(bytes, settings) != configstore::LoadStatus::Loaded)
        return 0;
    (void)keyCombinationDisplayText(settings.stopCommand, InvalidKeyText::InvalidKey);
    // Whatever the file says, a run gets a speed it can play at.
    if (!runpace::validSpeed(runSettingsOf(settings).pace.speed))
        std::abort();
    configstore::Settings again;
    if (configstore::parse(configstore::serialize(settings), again) !=
            configstore::LoadStatus::Loaded ||
        again.stertTime != settings.stertTime || again.runNumber != settings.runNumber ||
        again.stopCommand != settings.stopCommand || again.is_japanese != settings.is_japanese ||
        again.pauseCommand != settings.pauseCommand || again.runSpeed != settings.runSpeed ||
        again.varyPercent != settings.varyPercent)
        std::abort(); // settings that change when saved and read again
    return 0;
}
