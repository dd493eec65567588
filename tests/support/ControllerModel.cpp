#include "support/ControllerModel.h"

namespace qvxtest
{

namespace
{
uint32_t readLittleEndian32 (const ReportBytes& report, int offset)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | report[static_cast<size_t> (offset + i)];
    return value;
}
}  // namespace

ControllerModel::ControllerModel()
    : m_memory (memorySize, untouched)
{
}

void ControllerModel::setFirmwareVersion (std::array<uint8_t, 4> bytes)
{
    const std::lock_guard<std::mutex> lock (m_lock);
    m_firmwareVersion = bytes;
}

void ControllerModel::setSystemVersion (std::array<uint8_t, 4> bytes)
{
    const std::lock_guard<std::mutex> lock (m_lock);
    m_systemVersion = bytes;
}

void ControllerModel::setBusyPolls (int polls, uint8_t busyCode)
{
    const std::lock_guard<std::mutex> lock (m_lock);
    m_busyPolls = polls;
    m_busyCode = busyCode;
}

void ControllerModel::addFault (Trigger trigger, Fault fault)
{
    const std::lock_guard<std::mutex> lock (m_lock);
    m_faults.push_back ({ trigger, fault, 0 });
}

ControllerModel::Reply ControllerModel::handle (const ReportBytes& request)
{
    const std::lock_guard<std::mutex> lock (m_lock);
    const auto index = static_cast<int> (m_received.size());
    const auto commandIndex = m_receivedOfCommand[request[Report::command]]++;
    m_received.push_back (request);

    const Fault* fault = nullptr;

    for (auto& armed : m_faults)
    {
        const auto& trigger = armed.trigger;

        if (index >= trigger.fromReport && commandIndex >= trigger.fromCommandReport &&
            (!trigger.command || *trigger.command == request[Report::command]) &&
            (trigger.count < 0 || armed.used < trigger.count))
        {
            ++armed.used;
            fault = &armed.fault;
            break;
        }
    }

    Reply reply;

    if (fault != nullptr)
    {
        switch (fault->kind)
        {
            case Fault::Kind::silence:
                return reply;
            case Fault::Kind::removal:
                reply.remove = true;
                return reply;
            case Fault::Kind::hangUp:
                reply.then = Reply::Then::hangUp;
                return reply;
            case Fault::Kind::hangUpAfterAnswer:
                reply.then = Reply::Then::hangUp;
                reply.writeError = fault->writeError;  // a write in between fails as the cable goes
                break;
            case Fault::Kind::failWritesAfterAnswer:
                reply.then = Reply::Then::failWrites;
                reply.hangUpAfterMs = fault->delayMs;
                reply.writeError = fault->writeError;
                break;
            case Fault::Kind::refuseWritesAfterAnswer:
                reply.then = Reply::Then::refuseWrites;
                reply.writeError = fault->writeError;
                break;

            case Fault::Kind::wrongEcho:
            {
                auto answer = answerTo (request);
                answer[Report::target] = static_cast<uint8_t> (request[Report::target] ^ 0x01);
                reply.answers.push_back (answer);
                return reply;
            }

            case Fault::Kind::error:
            case Fault::Kind::answerCode:
            {
                ReportBytes answer{};
                answer[Report::target] = request[Report::target];
                answer[Report::answer] =
                    fault->kind == Fault::Kind::error ? static_cast<uint8_t> (ANS_ERROR) : fault->value;
                if (fault->kind == Fault::Kind::error)
                    answer[Report::reason] = fault->value;
                reply.answers.push_back (answer);
                return reply;
            }

            case Fault::Kind::duplicate:
            {
                const auto answer = answerTo (request);
                reply.answers = { answer, answer };
                return reply;
            }

            case Fault::Kind::delay:
                reply.delayMs = fault->delayMs;
                break;
        }
    }

    if (request[Report::command] == CMD_COMPLETE)
    {
        answerTo (request);
        return reply;  // the controller restarts: no answer
    }

    reply.answers.push_back (answerTo (request));
    return reply;
}

ReportBytes ControllerModel::answerTo (const ReportBytes& request)
{
    ReportBytes answer{};
    answer[Report::target] = request[Report::target];
    answer[Report::answer] = ANS_OK;

    switch (request[Report::command])
    {
        case CMD_GET_VERSION:
            answer[Report::answer] = ANS_VERSION;
            for (size_t i = 0; i < 4; ++i)
            {
                answer[Report::firmwareVersion + i] = m_firmwareVersion[i];
                answer[Report::systemVersion + i] = m_systemVersion[i];
            }
            break;

        case CMD_BLOCK:
            m_blockAddress = readLittleEndian32 (request, Report::address);
            m_blockLength = readLittleEndian32 (request, Report::length);
            m_blockData.clear();
            m_lastPieceCount = -1;
            m_pollsAnswered = 0;
            break;

        case CMD_DATA_SIZE:
            m_lastPieceCount = request[Report::dataCount];
            break;

        case CMD_DATA:
        {
            const auto count = m_lastPieceCount >= 0 ? m_lastPieceCount : Report::dataBytesPerReport;
            m_blockData.insert (m_blockData.end(), request.begin() + Report::data,
                                request.begin() + Report::data + count);
            m_lastPieceCount = -1;
            break;
        }

        case CMD_CHECKSUM:
        {
            uint32_t sum = 0;
            for (auto byte : m_blockData)
                sum += byte;

            if (sum != readLittleEndian32 (request, Report::checksum) || m_blockData.size() != m_blockLength)
            {
                answer[Report::answer] = ANS_ERROR;
                answer[Report::reason] = 2;
            }
            else
            {
                commitBlock();
            }
            break;
        }

        case CMD_GET_STATUS:
            if (m_busyPolls < 0 || m_pollsAnswered < m_busyPolls)
            {
                ++m_pollsAnswered;
                answer[Report::answer] = m_busyCode;
            }
            else
            {
                answer[Report::answer] = ANS_DONE;
            }
            break;

        case CMD_CHECK_MODE:
        case CMD_START:
        case CMD_COMPLETE:
        case CMD_CANCEL:
            break;

        default:
            answer[Report::answer] = ANS_ERROR;
            answer[Report::reason] = 5;
            break;
    }

    return answer;
}

void ControllerModel::commitBlock()
{
    for (size_t i = 0; i < m_blockData.size() && m_blockAddress + i < m_memory.size(); ++i)
        m_memory[m_blockAddress + i] = m_blockData[i];
}

std::vector<ReportBytes> ControllerModel::received() const
{
    const std::lock_guard<std::mutex> lock (m_lock);
    return m_received;
}

std::vector<ReportBytes> ControllerModel::receivedWithCommand (uint8_t command) const
{
    const std::lock_guard<std::mutex> lock (m_lock);
    std::vector<ReportBytes> result;
    for (const auto& report : m_received)
        if (report[Report::command] == command)
            result.push_back (report);
    return result;
}

std::vector<uint8_t> ControllerModel::memory() const
{
    const std::lock_guard<std::mutex> lock (m_lock);
    return m_memory;
}

}  // namespace qvxtest
