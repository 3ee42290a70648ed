# Writes OUTPUT, a C++ source holding the .mo images RUSSIAN and ENGLISH as
# byte arrays and the function that hands them out.
function(byte_array file name result)
  file(READ ${file} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  set(${result}
      "alignas(4) const unsigned char ${name}[${size}] = {\n${bytes}\n};\n"
      PARENT_SCOPE)
endfunction()

byte_array(${RUSSIAN} kRussian russian)
byte_array(${ENGLISH} kEnglish english)
file(WRITE ${OUTPUT} "// Generated from po/ru.po and po/en.po by i18n/embed_catalogs.cmake.
#include \"i18n/compiled_catalogs.h\"

namespace zenor9::i18n {

namespace {

${russian}
${english}
std::string_view Image(const unsigned char* bytes, std::size_t size) {
  return {reinterpret_cast<const char*>(bytes), size};
}

}  // namespace

std::string_view CompiledCatalog(Language language) {
  return language == Language::English ? Image(kEnglish, sizeof kEnglish)
                                       : Image(kRussian, sizeof kRussian);
}

}  // namespace zenor9::i18n
")
