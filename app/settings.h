// What a payload folder says about itself: the people named on the screens
// and the digest of the untouched manual archive. Generated from the
// folder's settings file at build time.
#pragma once

#include <vector>

struct payloadsettings {
    const char* dedicationname;
    const char* dedicationalias;
    std::vector<const char*> planners;
    std::vector<const char*> translators;
    std::vector<const char*> proofreaders;
    std::vector<const char*> advisers;
    const char* partnersite;
    const char* partnergroup;
    const char* manualdigest;
};

extern const payloadsettings settings;
