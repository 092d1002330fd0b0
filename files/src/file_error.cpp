#include <tavro/files/file_error.h>

#include <cerrno>

#ifndef _WIN32
#include <grp.h>
#include <pwd.h>
#include <unistd.h>
#endif

namespace tavro::files {

core::EngineError fileError(core::Operation operation, core::FileRole file, const std::string& path,
                            const files::IoFailure& failure) {
#ifndef _WIN32
    if (failure.step == core::Step::Replace && failure.cause == core::Cause::System && failure.code == EBUSY) {
        return core::EngineError{.operation = operation,
                                 .file = file,
                                 .step = core::Step::Replace,
                                 .path = path,
                                 .cause = core::Cause::MountPoint,
                                 .reason = failure.reason,
                                 .code = failure.code};
    }
#endif
    return core::EngineError{.operation = operation,
                             .file = file,
                             .step = failure.step,
                             .path = path,
                             .cause = failure.cause,
                             .reason = failure.reason,
                             .code = failure.code,
                             .facts = failure.facts,
                             .keptIn = failure.keptIn};
}

std::string ownerName(std::uint64_t id, [[maybe_unused]] OwnerKind kind) {
    std::string name;
#ifndef _WIN32
    if (kind == OwnerKind::Group) {
        if (const struct group* found = ::getgrgid(static_cast<gid_t>(id))) name = found->gr_name;
    } else if (const struct passwd* found = ::getpwuid(static_cast<uid_t>(id))) {
        name = found->pw_name;
    }
#endif
    return name.empty() ? std::to_string(id) : name + " (" + std::to_string(id) + ")";
}

bool isOwnUser([[maybe_unused]] std::uint64_t user) {
#ifdef _WIN32
    return false;
#else
    return user == ::geteuid();
#endif
}

bool keepsNoOwners([[maybe_unused]] const core::EngineError& error) {
#ifdef _WIN32
    return false;
#else
    return error.cause == core::Cause::OwnerNotKept && ::geteuid() == 0 &&
           (error.code == ENOSYS || error.code == EOPNOTSUPP);
#endif
}

}  // namespace tavro::files
