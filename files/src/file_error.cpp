#include <tavro/file_error.h>

#include <cerrno>

namespace tavro {
namespace {

Step stepOf(files::IoStep step) {
    switch (step) {
    case files::IoStep::Open: return Step::Open;
    case files::IoStep::Read: return Step::Read;
    case files::IoStep::Create: return Step::Create;
    case files::IoStep::Write: return Step::Write;
    case files::IoStep::Flush: return Step::Flush;
    case files::IoStep::Replace: return Step::Replace;
    case files::IoStep::Remove: return Step::Remove;
    }
    return Step::Open;
}

Cause causeOf(files::IoProblem problem) {
    switch (problem) {
    case files::IoProblem::System: return Cause::System;
    case files::IoProblem::NotRegularFile: return Cause::NotRegularFile;
    case files::IoProblem::EndedEarly: return Cause::EndedEarly;
    case files::IoProblem::HardLinks: return Cause::HardLinks;
    case files::IoProblem::OwnerNotKept: return Cause::OwnerNotKept;
    case files::IoProblem::Changed: return Cause::Changed;
    case files::IoProblem::AttributeNotKept: return Cause::AttributeNotKept;
    case files::IoProblem::FlagsNotKept: return Cause::FlagsNotKept;
    case files::IoProblem::SharedFolderEntry: return Cause::SharedFolderEntry;
    case files::IoProblem::SharedFolderLink: return Cause::SharedFolderLink;
    case files::IoProblem::OpenElsewhere: return Cause::OpenElsewhere;
    case files::IoProblem::NotAsWritten: return Cause::OtherBytes;
    case files::IoProblem::WroteNothing: return Cause::WroteNothing;
    case files::IoProblem::Leftover: return Cause::Leftover;
    case files::IoProblem::LeftoverOnly: return Cause::LeftoverOnly;
    case files::IoProblem::ModeNotKept: return Cause::ModeNotKept;
    }
    return Cause::System;
}

}  // namespace

EngineError fileError(Operation operation, FileRole file, const std::string& path, const files::IoFailure& failure) {
#ifndef _WIN32
    if (failure.step == files::IoStep::Replace && failure.problem == files::IoProblem::System &&
        failure.code == EBUSY) {
        return EngineError{.operation = operation,
                           .file = file,
                           .step = Step::Replace,
                           .path = path,
                           .cause = Cause::MountPoint,
                           .reason = failure.reason,
                           .code = failure.code};
    }
#endif
    const bool leftover =
        failure.problem == files::IoProblem::Leftover || failure.problem == files::IoProblem::LeftoverOnly;
    return EngineError{.operation = operation,
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

}  // namespace tavro
