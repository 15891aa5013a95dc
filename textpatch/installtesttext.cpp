#include "textpatch/installtesttext.h"

#include "app/failure.h"
#include "platform/platform.h"
#include "textpatch/converttable.h"
#include "textpatch/installtext.h"

#include <fstream>
#include <sstream>

void installtesttext(const std::string& path, std::ostream& out) {
    locateasset(out);
    std::fstream asset = openassetforupdate();

    // Binary: the converter takes a carriage return before a line feed as
    // part of the line end itself, the same on every platform.
    std::ifstream csv(platform::localpath(path), std::ios::binary);
    if (!csv.is_open()) throw errortype{2};
    std::ostringstream converted;
    converttable(csv, converted);
    // A read that failed part way (a folder of that name, a device error)
    // would install a truncated table.
    if (csv.bad()) throw errortype{2};

    const std::string table = converted.str();
    writetextregion(asset, reinterpret_cast<const unsigned char*>(table.data()), table.size());
}
