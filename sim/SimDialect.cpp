#include "SimDialect.h"

#include "CurrentDialect.h"
#include "Gen4Dialect.h"

namespace hlx::sim {

std::unique_ptr<SimDialect> MakeDialect(int generation) {
  switch (generation) {
    case 0: return std::make_unique<CurrentDialect>();
    case 4: return std::make_unique<Gen4Dialect>();
    default: return nullptr;
  }
}

}  // namespace hlx::sim
