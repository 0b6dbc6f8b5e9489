#include "framework/Component.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {
class TRecorded : public TComponent {
public:
    TRecorded(TComponent* owner, std::string name, std::vector<std::string>& log)
        : TComponent(owner), FLog(log) {
        SetName(std::move(name));
    }
    ~TRecorded() override { FLog.push_back("destroy " + Name()); }
    void Loaded() override { FLog.push_back("loaded " + Name()); }

private:
    std::vector<std::string>& FLog;
};
} // namespace

TEST(Component, OwnerDestroysWhatItOwnsLastMadeFirst) {
    std::vector<std::string> log;
    {
        TComponent owner;
        auto& a = owner.Own<TRecorded>("a", log);
        auto& b = owner.Own<TRecorded>("b", log);
        auto& c = b.Own<TRecorded>("c", log);
        EXPECT_EQ(a.Owner(), &owner);
        EXPECT_EQ(c.Owner(), &b);
        ASSERT_EQ(owner.ComponentCount(), 2u);
        EXPECT_EQ(&owner.Components(1), &b);
    }
    // b goes before a, and b's own component goes while b is being destroyed.
    EXPECT_EQ(log, (std::vector<std::string>{"destroy b", "destroy c", "destroy a"}));
}
