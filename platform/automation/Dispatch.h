#pragma once

#include "platform/core/Api.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/Variant.h"

ZELMORA_API_BEGIN

// Dispatch by identifier: an object publishes a member table (its type
// information) and is driven through invoke(identifier, kind, arguments).
namespace zelmora::automation {

using DispId = std::int32_t;

enum class InvokeKind { Get, Put, Method };
enum class MemberKind { Property, Method, Event };

struct Param {
    std::string name;
    VarType type = VarType::Empty;
};

// One property, method or event. For a property, type is its type and canGet /
// canPut its access; for a method or event, type is the result (Empty: none) and
// params its arguments in order.
struct Member {
    std::string name;
    DispId id = 0;
    MemberKind kind = MemberKind::Property;
    VarType type = VarType::Empty;
    bool canGet = true;
    bool canPut = true;
    std::vector<Param> params;
};

// Table entries, written as the type information reads.
inline Member property(std::string name, DispId id, VarType type, bool canGet = true,
                       bool canPut = true) {
    return Member{std::move(name), id, MemberKind::Property, type, canGet, canPut, {}};
}
inline Member method(std::string name, DispId id, VarType result, std::vector<Param> params = {}) {
    return Member{std::move(name), id, MemberKind::Method, result, true, true, std::move(params)};
}
inline Member event(std::string name, DispId id, std::vector<Param> params = {}) {
    return Member{std::move(name),  id, MemberKind::Event, VarType::Empty, true, true,
                  std::move(params)};
}

// Members in their published order, found by identifier or by name (ignoring case).
class MemberTable {
public:
    MemberTable() = default;
    explicit MemberTable(std::vector<Member> members);

    const std::vector<Member>& members() const { return members_; }
    const Member* find(DispId id) const;
    const Member* findName(std::string_view name) const;
    // The identifier of a name; an unknown name throws AutomationError 438.
    DispId idOf(std::string_view name, const char* source = "Automation") const;

private:
    std::vector<Member> members_;
};

// An object driven by identifier. Failures throw AutomationError; the object stays
// usable after any failure.
class IDispatchLike {
public:
    virtual ~IDispatchLike();
    virtual const MemberTable& memberTable() const = 0;
    virtual Variant invoke(DispId id, InvokeKind kind, const std::vector<Variant>& args = {}) = 0;

    // By name, through the member table (late binding as a script would do it).
    Variant get(std::string_view name);
    void put(std::string_view name, const Variant& value);
    Variant call(std::string_view name, const std::vector<Variant>& args = {});
};

// The checks every dispatch object makes before running a member: the identifier
// exists (438), the kind fits (a property is got or put, a method is called;
// else 438), the access allows it (383 set not supported, 394 get not supported),
// the argument count matches (450), and each argument converts to its declared
// type (13, 6). Then the handler runs and its result is converted to the
// declared type.
struct DispatchHandlers {
    std::function<Variant(DispId)> get;
    std::function<void(DispId, const Variant&)> put;
    std::function<Variant(DispId, const std::vector<Variant>&)> call;
};
Variant checkedInvoke(const MemberTable& table, const char* source, DispId id, InvokeKind kind,
                      const std::vector<Variant>& args, const DispatchHandlers& handlers);

// A base that implements invoke() through checkedInvoke(): the object supplies
// its table and three handlers that see only valid, converted requests.
template <typename Interface = IDispatchLike>
class DispatchImpl : public Interface {
public:
    Variant invoke(DispId id, InvokeKind kind, const std::vector<Variant>& args = {}) override {
        return checkedInvoke(
            this->memberTable(), errorSource(), id, kind, args,
            DispatchHandlers{
                [this](DispId i) { return getProperty(i); },
                [this](DispId i, const Variant& v) { putProperty(i, v); },
                [this](DispId i, const std::vector<Variant>& a) { return callMethod(i, a); }});
    }

protected:
    // The source named in this object's errors.
    virtual const char* errorSource() const = 0;
    virtual Variant getProperty(DispId id) = 0;
    virtual void putProperty(DispId id, const Variant& value) = 0;
    virtual Variant callMethod(DispId id, const std::vector<Variant>& args) = 0;
};

}  // namespace zelmora::automation

ZELMORA_API_END
