// What a payload folder says about itself: the people named on the screens
// and the digest of the untouched manual archive. Generated from the
// folder's settings file at build time.
#pragma once

#include <vector>

namespace app {

struct payload_settings {
    const char* dedication_name;
    const char* dedication_alias;
    std::vector<const char*> planners;
    std::vector<const char*> translators;
    std::vector<const char*> proofreaders;
    std::vector<const char*> advisers;
    const char* partner_site;
    const char* partner_group;
    const char* manual_digest;  // MD5 of the untouched English manual archive
};

extern const payload_settings settings;

}  // namespace app
