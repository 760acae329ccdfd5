#include "speech/WallClock.h"

namespace {

class StoppedWallClock final : public WallClock {
public:
    explicit StoppedWallClock(QDateTime at) : FAt(std::move(at)) {}
    QDateTime Now() override { return FAt; }
    void WakeAt(const QDateTime&) override {}
    void Cancel() override {}

private:
    QDateTime FAt;
};

} // namespace

std::unique_ptr<WallClock> CreateStoppedWallClock(const QDateTime& at) {
    return std::make_unique<StoppedWallClock>(at);
}
