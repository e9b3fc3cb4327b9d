// Saves two different settings files over each other without end, for the test that kills a
// save half-way: settings_save_loop PATH
#include "settings/settings_file.h"

int main(int argc, char* argv[])
{
    if (argc != 2)
        return 2;
    timers::SettingsFile file(QString::fromLocal8Bit(argv[1]));
    const timers::SettingsValues a{"1", "ON", "4 - DTR", true};
    const timers::SettingsValues b{"10 with a longer text", "OFF", "7 - RTS", false};
    for (;;) {
        if (!file.save(a) || !file.save(b))
            return 1;
    }
}
