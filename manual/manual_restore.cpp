#include "core/failure.h"
#include "manual/file_helpers.h"
#include "manual/manual.h"

namespace manual {

void restore() {
    using core::failure_code;
    if (!delete_file(platform::game_path("zelt.log"))) throw core::failure{failure_code::delete_failed};
    if (!delete_file(platform::game_path("TechnicalManual\\package.nw"))) {
        throw core::failure{failure_code::delete_failed};
    }
    if (!rename_replacing(platform::game_path("TechnicalManual\\package.nw.bak"),
                          platform::game_path("TechnicalManual\\package.nw"))) {
        throw core::failure{failure_code::rename_failed};
    }
}

}  // namespace manual
