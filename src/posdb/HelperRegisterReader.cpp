#include "HelperRegisterReader.h"

#include "CommandRunner.h"
#include "FileSystem.h"
#include "KaseListText.h"
#include "Paths.h"

#include <cstdio>
#include <random>

namespace {

RegisterListing failure(std::string reason)
{
    RegisterListing listing;
    listing.error = std::move(reason);
    return listing;
}

std::string quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

std::string damaged(const std::string& databaseFile, const std::string& why)
{
    return "baza " + quoted(databaseFile) + " je ostecena: " + why;
}

/// The user's line for a problem the program reported.
std::string reasonFor(const KaseProblem& problem, const std::string& databaseFile)
{
    const std::string database = "baza " + quoted(databaseFile);
    const std::string detail = problem.detail.empty() ? "" : ": " + problem.detail;
    switch (problem.kind) {
    case KaseProblem::Kind::CannotOpen:
        return database + " se ne moze otvoriti" + detail;
    case KaseProblem::Kind::Damaged:
        return database + " je ostecena" + detail;
    case KaseProblem::Kind::NoTable:
        return "u bazi " + quoted(databaseFile) + " nema tabele kase";
    case KaseProblem::Kind::NoColumn:
        return "u tabeli kase baze " + quoted(databaseFile) + " nema kolone " + problem.detail;
    case KaseProblem::Kind::NoDriver:
        return database + " se ne moze citati: na racunaru nema 32-bitnog ODBC drajvera za Access baze" +
               (problem.detail.empty() ? "" : " (" + problem.detail + ")");
    case KaseProblem::Kind::DriverError:
        return database + " se ne moze procitati" + detail;
    }
    return database + " se ne moze procitati" + detail;
}

std::string duration(std::chrono::milliseconds span)
{
    const auto count = span.count();
    return count % 1000 == 0 ? std::to_string(count / 1000) + " s" : std::to_string(count) + " ms";
}

/// The last line the program wrote to its standard output or errors, for a reason that names no database.
std::string lastLine(const std::string& output)
{
    std::string text = output;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    const auto start = text.find_last_of("\r\n");
    return start == std::string::npos ? text : text.substr(start + 1);
}

} // namespace

HelperRegisterReader::HelperRegisterReader(CommandRunner& runner, FileSystem& fileSystem, std::string program,
                                           std::string temporaryFolder, std::chrono::milliseconds timeLimit)
    : m_runner(runner), m_fileSystem(fileSystem), m_program(std::move(program)),
      m_temporaryFolder(std::move(temporaryFolder)), m_timeLimit(timeLimit)
{}

std::string HelperRegisterReader::temporaryFile() const
{
    // Two runs at once (two programs in one folder, or one left hanging) must not share a file.
    std::random_device source;
    const unsigned long long number = (static_cast<unsigned long long>(source()) << 32) ^ source();
    char name[64];
    std::snprintf(name, sizeof name, "kopirko-kase-%016llx.txt", number);
    return Paths::join(m_temporaryFolder, name);
}

RegisterListing HelperRegisterReader::readRegisters(const std::string& databaseFile) const
{
    const std::string textFile = temporaryFile();
    const CommandOutcome outcome = m_runner.run(m_program, {databaseFile, textFile}, m_timeLimit);
    const std::optional<std::string> text = m_fileSystem.readFile(textFile);
    if (m_fileSystem.exists(textFile))
        m_fileSystem.removeFile(textFile, RemoveMode::Forced);

    const std::string program = quoted(Paths::lastComponent(m_program));
    switch (outcome.status) {
    case CommandOutcome::Status::NotStarted:
        return failure("program " + program + " koji cita kase se ne moze pokrenuti: " + outcome.error);
    case CommandOutcome::Status::TimedOut:
        return failure(damaged(databaseFile, "citanje tabele kase nije zavrseno ni za " + duration(m_timeLimit)));
    case CommandOutcome::Status::Finished:
        break;
    }
    if (!outcome.error.empty())
        return failure("program " + program + " koji cita kase nije praceno do kraja: " + outcome.error);
    if (outcome.exitCode == KaseListText::exitUsage)
        return failure("program " + program + " nije predao kase: " + lastLine(outcome.output));
    if (outcome.exitCode != KaseListText::exitRows && outcome.exitCode != KaseListText::exitProblem)
        return failure(damaged(databaseFile, outcome.exitCode == -1 ? "citanje tabele kase se srusilo"
                                                                    : "citanje tabele kase se prekinulo (izlazni kod " +
                                                                          std::to_string(outcome.exitCode) + ")"));

    const std::optional<KaseReadResult> read = text ? KaseListText::parse(*text) : std::nullopt;
    // The exit code and the text must tell the same story; anything else is garbage from a confused reader.
    if (!read || read->problem.has_value() != (outcome.exitCode == KaseListText::exitProblem))
        return failure(damaged(databaseFile, "citanje tabele kase dalo je neispravan rezultat"));
    if (read->problem)
        return failure(reasonFor(*read->problem, databaseFile));
    return RegisterListing{read->rows, ""};
}
