// Placeholder members of the interpolating families (Laplacian) until
// their implementations land: every call is refused.
#include "debayer_scheme.h"

namespace {
template <class Fmt, int Phase>
int32_t Refuse(const typename Fmt::Sample*, int32_t, int32_t, typename Fmt::Sample*) {
  return 0;
}
}  // namespace

IMAGING_DEFINE_DEBAYER_MEMBERS(Laplacian, Refuse)
