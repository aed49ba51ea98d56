#include "core/screenpages.h"
#include "run/screensteps.h"

namespace kinds::command::imageJump {
using namespace runsteps;

// Without a template the jump goes where the last Image condition found its
// own, so none is missing here.
const ActionStep step{screensteps::imageJump, [](const QStringList &record, QByteArray &png) {
                          png = screenpages::imageFromRecord(record).png;
                          return ImageProblem::None;
                      }};

} // namespace kinds::command::imageJump
