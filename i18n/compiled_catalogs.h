// The .mo images that the build compiles from po/ru.po and po/en.po and writes
// into catalogs.cpp (i18n/embed_catalogs.cmake).
#pragma once

#include <string_view>

#include "i18n/language.h"

namespace zenor9::i18n {

std::string_view CompiledCatalog(Language language);

}  // namespace zenor9::i18n
