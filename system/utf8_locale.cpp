#include "system/utf8_locale.h"

#include <QByteArray>
#include <QtGlobal>

#include <clocale>
#include <cstring>
#include <langinfo.h>

namespace timers {

void chooseUtf8CharacterType()
{
    std::setlocale(LC_ALL, "");
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0 && qEnvironmentVariableIsEmpty("LC_ALL"))
        qputenv("LC_CTYPE", "C.UTF-8");
}

} // namespace timers
