#include "SimDialect.h"

#include "CurrentDialect.h"
#include "LegacyDialect.h"

namespace hlx::sim {

std::unique_ptr<SimDialect> MakeDialect(int generation) {
  switch (generation) {
    case 0: return std::make_unique<CurrentDialect>();
    default:
      if (const LegacyGenerationTable* table = LegacyTable(generation))
        return std::make_unique<LegacyDialect>(*table);
      return nullptr;
  }
}

}  // namespace hlx::sim
