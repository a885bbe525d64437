#include <gtest/gtest.h>

#include <map>

#include "platform/automation/AutomationError.h"
#include "platform/automation/Dispatch.h"
#include "platform/automation/Events.h"

using namespace zelmora::automation;

namespace {

const MemberTable& table() {
    static const MemberTable t({
        property("Name", 1, VarType::Text),
        property("Level", 2, VarType::I2, true, false),
        property("Code", 3, VarType::I4, false, true),
        method("Scale", 4, VarType::I4, {{"By", VarType::I4}, {"Loud", VarType::Bool}}),
    });
    return t;
}

// A dispatch object that records what reached its handlers.
class Recorder : public DispatchImpl<> {
public:
    const MemberTable& memberTable() const override { return table(); }
    std::map<DispId, Variant> stored;
    std::vector<std::vector<Variant>> calls;

protected:
    const char* errorSource() const override { return "Recorder"; }
    Variant getProperty(DispId id) override {
        return id == 2 ? Variant(std::int32_t(9)) : stored[id];
    }
    void putProperty(DispId id, const Variant& v) override { stored[id] = v; }
    Variant callMethod(DispId, const std::vector<Variant>& a) override {
        calls.push_back(a);
        return std::string("12");  // converted to the declared I4
    }
};

int numberOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const AutomationError& e) {
        return e.number();
    }
    return 0;
}

TEST(DispatchTest, NamesAreFoundIgnoringCase) {
    EXPECT_EQ(table().idOf("name"), 1);
    EXPECT_EQ(table().idOf("SCALE"), 4);
    EXPECT_EQ(table().findName("Nam"), nullptr);
    EXPECT_EQ(numberOf([] { table().idOf("Missing"); }), AutomationError::kMemberNotFound);
}

TEST(DispatchTest, RequestsAreCheckedAndConvertedBeforeTheHandlersSeeThem) {
    Recorder r;
    r.invoke(1, InvokeKind::Put, {std::int16_t(5)});
    EXPECT_EQ(r.stored[1], Variant(std::string("5")));
    EXPECT_EQ(r.invoke(2, InvokeKind::Get), Variant(std::int16_t(9)));  // handler gave I4
    EXPECT_EQ(r.invoke(4, InvokeKind::Method, {std::string("3"), std::int32_t(1)}),
              Variant(std::int32_t(12)));
    ASSERT_EQ(r.calls.size(), 1u);
    EXPECT_EQ(r.calls[0][0], Variant(std::int32_t(3)));
    EXPECT_EQ(r.calls[0][1], Variant(true));
    r.put("NAME", std::string("via name"));
    EXPECT_EQ(r.get("name"), Variant(std::string("via name")));

    struct Case {
        DispId id;
        InvokeKind kind;
        std::vector<Variant> args;
        int number;
    };
    const std::vector<Case> refused = {
        {22, InvokeKind::Get, {}, AutomationError::kMemberNotFound},
        {22, InvokeKind::Method, {}, AutomationError::kMemberNotFound},
        {4, InvokeKind::Get, {}, AutomationError::kMemberNotFound},  // a method is not a property
        {1, InvokeKind::Method, {}, AutomationError::kMemberNotFound},
        {2, InvokeKind::Put, {std::int16_t(1)}, AutomationError::kSetNotSupported},
        {3, InvokeKind::Get, {}, AutomationError::kGetNotSupported},
        {1, InvokeKind::Put, {}, AutomationError::kWrongArgumentCount},
        {4, InvokeKind::Method, {std::int32_t(1)}, AutomationError::kWrongArgumentCount},
        {4, InvokeKind::Method, {std::string("x"), true}, AutomationError::kTypeMismatch},
        {3, InvokeKind::Put, {std::string("5000000000")}, AutomationError::kOverflow},
    };
    for (const Case& c : refused)
        EXPECT_EQ(numberOf([&] { r.invoke(c.id, c.kind, c.args); }), c.number) << c.id;
    EXPECT_EQ(r.calls.size(), 1u);  // no refused call reached a handler
    EXPECT_EQ(r.stored.count(3), 0u);
    // Still usable after every failure.
    EXPECT_EQ(r.get("Name"), Variant(std::string("via name")));
}

struct Sink : IEventSink {
    std::vector<std::pair<DispId, std::vector<Variant>>> seen;
    std::function<void()> onFirst;
    void onEvent(DispId id, const std::vector<Variant>& args) override {
        seen.emplace_back(id, args);
        if (onFirst) std::exchange(onFirst, nullptr)();
    }
};

TEST(DispatchTest, EventsReachTheSinksAdvisedWhenFired) {
    EventSource events;
    Sink a, b, c;
    const auto ca = events.advise(&a);
    const auto cb = events.advise(&b);
    EXPECT_NE(ca, 0u);
    // The first sink unadvises the second and advises a third during the event.
    std::uint32_t cc = 0;
    a.onFirst = [&] {
        events.unadvise(cb);
        cc = events.advise(&c);
    };
    events.fire(5, {std::string("path")});
    EXPECT_EQ(a.seen.size(), 1u);
    EXPECT_TRUE(b.seen.empty());
    EXPECT_TRUE(c.seen.empty());
    events.fire(6);
    EXPECT_EQ(c.seen.size(), 1u);
    EXPECT_EQ(a.seen[0].second, std::vector<Variant>{std::string("path")});
    events.unadvise(ca);
    events.unadvise(cc);
    EXPECT_EQ(events.sinkCount(), 0u);
    EXPECT_EQ(numberOf([&] { events.unadvise(ca); }), AutomationError::kInvalidProcedureCall);
    EXPECT_EQ(numberOf([&] { events.advise(nullptr); }), AutomationError::kInvalidProcedureCall);
}

}  // namespace
