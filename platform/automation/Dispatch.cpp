#include "platform/automation/Dispatch.h"

#include <strings.h>

#include "platform/automation/AutomationError.h"

namespace zelmora::automation {

MemberTable::MemberTable(std::vector<Member> members) : members_(std::move(members)) {}

const Member* MemberTable::find(DispId id) const {
    for (const Member& m : members_)
        if (m.id == id) return &m;
    return nullptr;
}

const Member* MemberTable::findName(std::string_view name) const {
    for (const Member& m : members_)
        if (m.name.size() == name.size() &&
            strncasecmp(m.name.data(), name.data(), name.size()) == 0)
            return &m;
    return nullptr;
}

DispId MemberTable::idOf(std::string_view name, const char* source) const {
    if (const Member* m = findName(name)) return m->id;
    throw AutomationError(AutomationError::kMemberNotFound, source,
                          QStringLiteral("Object doesn't support this property or method: ") +
                              QString::fromUtf8(name.data(), qsizetype(name.size())));
}

IDispatchLike::~IDispatchLike() = default;

Variant IDispatchLike::get(std::string_view name) {
    return invoke(memberTable().idOf(name), InvokeKind::Get);
}

void IDispatchLike::put(std::string_view name, const Variant& value) {
    invoke(memberTable().idOf(name), InvokeKind::Put, {value});
}

Variant IDispatchLike::call(std::string_view name, const std::vector<Variant>& args) {
    return invoke(memberTable().idOf(name), InvokeKind::Method, args);
}

Variant checkedInvoke(const MemberTable& table, const char* source, DispId id, InvokeKind kind,
                      const std::vector<Variant>& args, const DispatchHandlers& handlers) {
    const Member* m = table.find(id);
    const bool property = m && m->kind == MemberKind::Property;
    const bool method = m && m->kind == MemberKind::Method;
    if (!m || (kind == InvokeKind::Method ? !method : !property))
        throw AutomationError(
            AutomationError::kMemberNotFound, source,
            QStringLiteral("Object doesn't support this property or method (%1)").arg(id));
    const QString name = QString::fromStdString(m->name);
    switch (kind) {
        case InvokeKind::Get:
            if (!m->canGet)
                throw AutomationError(AutomationError::kGetNotSupported, source,
                                      QStringLiteral("Property get not supported: ") + name);
            if (!args.empty())
                throw AutomationError(AutomationError::kWrongArgumentCount, source,
                                      QStringLiteral("Wrong number of arguments: ") + name);
            return coerce(handlers.get(id), m->type, source);
        case InvokeKind::Put:
            if (!m->canPut)
                throw AutomationError(AutomationError::kSetNotSupported, source,
                                      QStringLiteral("Set not supported: ") + name);
            if (args.size() != 1)
                throw AutomationError(AutomationError::kWrongArgumentCount, source,
                                      QStringLiteral("Wrong number of arguments: ") + name);
            handlers.put(id, coerce(args[0], m->type, source));
            return std::monostate{};
        case InvokeKind::Method: {
            if (args.size() != m->params.size())
                throw AutomationError(AutomationError::kWrongArgumentCount, source,
                                      QStringLiteral("Wrong number of arguments: ") + name);
            std::vector<Variant> converted;
            converted.reserve(args.size());
            for (std::size_t i = 0; i < args.size(); ++i)
                converted.push_back(coerce(args[i], m->params[i].type, source));
            return coerce(handlers.call(id, converted), m->type, source);
        }
    }
    return std::monostate{};
}

}  // namespace zelmora::automation
