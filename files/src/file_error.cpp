#include <tavro/files/file_error.h>

#include <cerrno>

namespace tavro::files {
namespace {

core::Step stepOf(files::IoStep step) {
    switch (step) {
    case files::IoStep::Open: return core::Step::Open;
    case files::IoStep::Read: return core::Step::Read;
    case files::IoStep::Create: return core::Step::Create;
    case files::IoStep::Write: return core::Step::Write;
    case files::IoStep::Flush: return core::Step::Flush;
    case files::IoStep::Replace: return core::Step::Replace;
    case files::IoStep::Remove: return core::Step::Remove;
    }
    return core::Step::Open;
}

core::Cause causeOf(files::IoProblem problem) {
    switch (problem) {
    case files::IoProblem::System: return core::Cause::System;
    case files::IoProblem::NotRegularFile: return core::Cause::NotRegularFile;
    case files::IoProblem::EndedEarly: return core::Cause::EndedEarly;
    case files::IoProblem::HardLinks: return core::Cause::HardLinks;
    case files::IoProblem::OwnerNotKept: return core::Cause::OwnerNotKept;
    case files::IoProblem::Changed: return core::Cause::Changed;
    case files::IoProblem::AttributeNotKept: return core::Cause::AttributeNotKept;
    case files::IoProblem::FlagsNotKept: return core::Cause::FlagsNotKept;
    case files::IoProblem::SharedFolderEntry: return core::Cause::SharedFolderEntry;
    case files::IoProblem::SharedFolderLink: return core::Cause::SharedFolderLink;
    case files::IoProblem::OpenElsewhere: return core::Cause::OpenElsewhere;
    case files::IoProblem::NotAsWritten: return core::Cause::OtherBytes;
    case files::IoProblem::WroteNothing: return core::Cause::WroteNothing;
    case files::IoProblem::Leftover: return core::Cause::Leftover;
    case files::IoProblem::LeftoverOnly: return core::Cause::LeftoverOnly;
    case files::IoProblem::ModeNotKept: return core::Cause::ModeNotKept;
    }
    return core::Cause::System;
}

}  // namespace

core::EngineError fileError(core::Operation operation, core::FileRole file, const std::string& path,
                            const files::IoFailure& failure) {
#ifndef _WIN32
    if (failure.step == files::IoStep::Replace && failure.problem == files::IoProblem::System &&
        failure.code == EBUSY) {
        return core::EngineError{.operation = operation,
                                 .file = file,
                                 .step = core::Step::Replace,
                                 .path = path,
                                 .cause = core::Cause::MountPoint,
                                 .reason = failure.reason,
                                 .code = failure.code};
    }
#endif
    const bool leftover =
        failure.problem == files::IoProblem::Leftover || failure.problem == files::IoProblem::LeftoverOnly;
    return core::EngineError{.operation = operation,
                             .file = file,
                             .step = stepOf(failure.step),
                             .path = path,
                             .cause = causeOf(failure.problem),
                             .reason = failure.reason,
                             .code = failure.code,
                             .facts = failure.facts,
                             .keptIn = failure.keptIn,
                             .otherFile = file,
                             .otherPath = leftover ? failure.name : std::string{},
                             .detail = leftover ? std::string{} : failure.name};
}

}  // namespace tavro::files
