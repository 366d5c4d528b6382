#include "description/yaml_nodes.h"

#include <sstream>

#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/yaml.h>

namespace lentra {

namespace {

struct TooManyNodes {};

class NodeCounter final : public YAML::EventHandler {
public:
    explicit NodeCounter(std::size_t limit) : limit_(limit) {}

    void OnDocumentStart(const YAML::Mark&) override {}
    void OnDocumentEnd() override {}
    void OnNull(const YAML::Mark&, YAML::anchor_t) override { count(); }
    void OnAlias(const YAML::Mark&, YAML::anchor_t) override { count(); }
    void OnScalar(const YAML::Mark&, const std::string&, YAML::anchor_t, const std::string&) override {
        count();
    }
    void OnSequenceStart(const YAML::Mark&, const std::string&, YAML::anchor_t,
                         YAML::EmitterStyle::value) override {
        count();
    }
    void OnSequenceEnd() override {}
    void OnMapStart(const YAML::Mark&, const std::string&, YAML::anchor_t, YAML::EmitterStyle::value) override {
        count();
    }
    void OnMapEnd() override {}

private:
    void count() {
        if (++nodes_ > limit_) throw TooManyNodes{};  // stops the parse at once
    }
    std::size_t limit_;
    std::size_t nodes_ = 0;
};

}  // namespace

bool yamlNodesAtMost(const std::string& text, std::size_t limit) {
    std::istringstream in(text);
    YAML::Parser parser(in);
    NodeCounter counter(limit);
    try {
        parser.HandleNextDocument(counter);  // the first document: the one YAML::Load reads
    } catch (const TooManyNodes&) {
        return false;
    }
    return true;
}

}  // namespace lentra
