// Light file parser: counts the "(name" tokens of the list between "<" and ">", then fills one
// Light per entry, each entry running up to its own ")".
#include <string_view>

#include "parsers/read_steps.h"
#include "sceneio/light.h"

namespace sceneio {
namespace {

// The name is written in quotes ("(name "key"") and stored without them.
void ReadQuotedName(TokenReader& reader, Light& light, const ValueSite& /*site*/) {
  reader.Token(light.name);
  UnquoteName(light.name);
}

constexpr Keyword<Light> kLightKeywords[] = {
    {"(name", ReadQuotedName},
    {"brightness", ReadInto<&Light::brightness>},
    {"rgb", ReadInto<&Light::rgb>},
    {"direction", ReadInto<&Light::direction>},
};

}  // namespace

int32_t ParseLights(const FileBuffer& file, CountedArray<Light>& lights, ParseObserver* observer) {
  TokenReader reader(file);
  std::string_view current;

  SkipTo(reader, current, "<", {observer, "before the light list"});
  if (reader.Failed()) return -1;  // no list at all
  const int32_t listStart = reader.Position();

  // Only "(name" tokens count, so an entry without one is still filled below but pushes the
  // last counted entry out of the array.
  int32_t count = 0;
  SkipTo(reader, current, ">",
         [&count](std::string_view token) {
           if (token == "(name") ++count;
         },
         {observer, "inside this light list"});
  if (reader.Failed()) return -1;  // the list never closes

  if (!lights.Allocate(count)) return kOutOfMemory;

  // Back to just after "<"; the seek also clears the end of data met by a ">" at the last byte.
  reader.Seek(listStart);
  for (Light& light : lights) {
    current = {};
    if (!ReadBlock(reader, current, ")", kLightKeywords, light,
                   {observer, "inside this light entry"})) {
      return 0;
    }
  }
  // The list's ">" and whatever follows it are never read.
  if (observer != nullptr) observer->Stopped(reader.Position(), ">");
  return 0;
}

}  // namespace sceneio
