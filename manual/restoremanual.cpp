#include "manual/manual.h"

#include "app/failure.h"
#include "manual/filesystem.h"
#include "platform/platform.h"

void restoremanual() {
    if (!files::remove(platform::localpath("zelt.log"))) throw errortype{6};
    if (!files::remove(platform::localpath("TechnicalManual\\package.nw"))) throw errortype{6};
    if (!files::rename(platform::localpath("TechnicalManual\\package.nw.bak"),
                platform::localpath("TechnicalManual\\package.nw"))) {
        throw errortype{8};
    }
}
