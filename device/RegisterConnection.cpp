#include "device/RegisterConnection.h"

std::optional<RegisterChoice> RegisterChoice::Parse(std::string_view text, std::string* error) {
  RegisterChoice choice;
  choice.address = transports::Parse(text, error);
  if (!choice.address) return std::nullopt;
  return choice;
}

std::string RegisterOptionHelp() { return "--register " + transports::Forms(); }

RegisterConnection::RegisterConnection(const RegisterChoice& choice, const DeviceTiming& timing)
    : choice_(choice), engine_(timing) {
  transport_ = choice.address->MakeTransport(timing);
  if (!choice.tracePath.empty()) TraceTo(choice.tracePath, &traceProblem_);
}

bool RegisterConnection::TraceTo(const std::string& path, std::string* error) {
  auto trace = RegisterTrace::Open(path, error);
  if (!trace) return false;
  engine_.SetTrace(nullptr);
  transport_->SetTrace(nullptr);
  trace_ = std::move(trace);
  std::string state = choice_.Describe() + (transport_->IsConnected() ? ", attached" : ", not attached");
  if (const std::string diagnostic = Diagnostic(); !diagnostic.empty()) state += " (" + diagnostic + ")";
  trace_->Record(RegisterTrace::Event::Started, {}, state);
  engine_.SetTrace(trace_.get());
  transport_->SetTrace(trace_.get());
  return true;
}

RegisterConnection::~RegisterConnection() {
  Stop();
  transport_->Close();
}

bool RegisterConnection::Start() {
  started_ = true;
  return engine_.Start(transport_.get());
}

void RegisterConnection::Stop() {
  if (started_) engine_.Stop();
  started_ = false;
}

std::string RegisterConnection::Diagnostic() const {
  std::string text = transport_->Diagnostic();
  if (!traceProblem_.empty()) text += (text.empty() ? "" : "\n") + traceProblem_;
  return text;
}

TransactionFunction RegisterConnection::Transaction() {
  return [this](std::uint16_t command, const std::string& request, std::string& reply) {
    return engine_.DeviceTransaction(command, request, reply);
  };
}
