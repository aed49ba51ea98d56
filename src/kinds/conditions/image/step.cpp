#include "core/screenpages.h"
#include "run/screensteps.h"

namespace kinds::condition::image {
using namespace runsteps;

const ConditionStep step{screensteps::imageCondition,
                         [](const QStringList &record, QByteArray &png) {
                             png = screenpages::imageFromRecord(record).png;
                             return png.isEmpty() ? ImageProblem::Missing : ImageProblem::None;
                         }};

} // namespace kinds::condition::image
