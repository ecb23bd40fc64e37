// The settings loader on any text: it either loads the snapshot or refuses
// it with a SettingsError, and what it loads, the platform takes.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "host_control.h"
#include "settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::root();
    const std::string text(reinterpret_cast<const char *>(data), size);
    try {
        const host::Settings settings = host::load_settings_text(text, "fuzz.toml");
        host::apply_settings(settings);
        // A loaded text never holds a NUL: the library would see less of it.
        for (const auto &[key, value] : settings.config)
            if (key.find('\0') != std::string::npos) fuzz::broken("a NUL in a loaded key");
    } catch (const host::SettingsError &) {
    }
    return 0;
}
