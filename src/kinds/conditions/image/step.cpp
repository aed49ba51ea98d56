#include "core/screenpages.h"
#include "run/screensteps.h"

namespace kinds::condition::image {
using namespace runsteps;

namespace {

// Until the template is seen; its centre is remembered for the pass.
class ImageCondition : public Condition {
public:
    ImageCondition(const QStringList &record, const Templates &templates)
        : search_(screenpages::imageFromRecord(record)), needle_(templates.value(search_.png)) {
        search_.png.clear(); // decoded: the record's copy is not needed
    }

    void wait(RunContext &run) const override {
        platform::Point centre;
        if (screensteps::lookFor(run, search_, needle_, RunContext::Clock::time_point::max(),
                                 centre) &&
            !run.stopping())
            run.rememberPlace(centre.x, centre.y);
    }

private:
    screenpages::ImageSearch search_;
    QImage needle_;
};

} // namespace

const ConditionStep step{
    [](const QStringList &record, const Templates &templates) -> std::unique_ptr<Condition> {
        return std::make_unique<ImageCondition>(record, templates);
    },
    [](const QStringList &record, QByteArray &png) {
        png = screenpages::imageFromRecord(record).png;
        return png.isEmpty() ? ImageProblem::Missing : ImageProblem::None;
    }};

} // namespace kinds::condition::image
