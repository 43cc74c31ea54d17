// The plan as text lines and as one JSON object: the same facts, in the
// same order.

#include "plan.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include <nlohmann/json.hpp>
#include <unicode/utf8.h>

#include "admtask.h"
#include "removal_request.h"

namespace {

using json = nlohmann::ordered_json;

const char kSucceed[] = "plan: removal would succeed";
const char kIncomplete[] = "plan: removal would be incomplete: ";
const char kRefused[] = "the request would be refused and nothing would be done";

class Lines {
public:
    explicit Lines(bool html) : html_(html) {}
    // An outside text (name, path, DN): control characters as '?', as the
    // removal's own reports write them, so that a file name can neither
    // forge a plan line nor reach the terminal raw; escaped in an HTML reply.
    std::string t(const std::string& text) const
    {
        std::string line = ds_one_line(text);
        return html_ ? ds_reply_text(line) : line;
    }
    void add(const std::string& line) { out_ += line + "\n"; }
    std::string take() { return out_; }

private:
    bool html_;
    std::string out_;
};

std::string pruneStopText(const PrunePlan& r, const Lines& l)
{
    switch (r.pruneStopWhy) {
    case PruneStop::ConfigRoot:
        return "pruning stops at " + l.t(r.pruneStop) + ": the configuration root is never deleted";
    case PruneStop::HasChildren:
        return "pruning stops at " + l.t(r.pruneStop) + ": it still holds " + l.t(r.pruneKeeper);
    case PruneStop::Unreadable:
        return "pruning stops at " + l.t(r.pruneStop) +
               ": its entries cannot be read (error = " + std::to_string(r.pruneStopCode) + ")";
    case PruneStop::AdminDomain:
        return "pruning stops at " + l.t(r.pruneStop) + ": an admin domain is never deleted";
    case PruneStop::OutOfTree:
        break;
    }
    return "pruning stops: no ancestor is left below the configuration root";
}

// A walk's lines: the keeper's listing (taken out first), each emptied
// parent, where it stops.
void chainLines(const PrunePlan& r, Lines& l)
{
    if (!r.keeperMember.empty())
        l.add("listing: " + l.t(r.pruneStop) + ": would stop listing " + l.t(r.keeperMember) +
              " first");
    for (const std::string& dn : r.prune)
        l.add("emptied parent: " + l.t(dn) + ": would be deleted");
    l.add(pruneStopText(r, l));
}

// What a run that finds no SIE finishes of an interrupted removal.
void repairLines(const RegistryPlan& r, Lines& l)
{
    for (const RegistryRepair& repair : r.repairs) {
        if (repair.kind == RegistryRepair::Kind::DanglingMember) {
            l.add("repair: would remove the dangling member " + l.t(repair.member) + " of " +
                  l.t(repair.dn));
            continue;
        }
        l.add("repair: " + l.t(repair.dn) +
              ": would be deleted: it holds nothing (an interrupted removal left it)");
        chainLines(repair.chain, l);
    }
}

const char* pruneStopName(PruneStop why)
{
    switch (why) {
    case PruneStop::ConfigRoot:
        return "configuration root";
    case PruneStop::HasChildren:
        return "has other entries";
    case PruneStop::Unreadable:
        return "cannot be read";
    case PruneStop::OutOfTree:
        return "no ancestor left";
    case PruneStop::AdminDomain:
        return "admin domain";
    }
    return "";
}

void registryLines(const DirectoryPlan& d, Lines& l)
{
    if (!d.used) {
        l.add("configuration directory: not used: an administration task leaves the "
              "registration to the administration server");
        return;
    }
    std::string who = d.bindIdentityGiven ? l.t(d.bindIdentity) : "(none)";
    l.add("configuration directory: " + l.t(d.url) + " as " + who + ": " +
          (d.code == 0 ? std::string("the bind works")
                       : "the bind fails (error = " + std::to_string(d.code) + ")"));
    if (d.code != 0) {
        l.add("SIE: not known: the configuration directory cannot be used");
        return;
    }
    const RegistryPlan& r = d.registry;
    if (d.registryCode != 0) {
        l.add("SIE: not known: could not " + l.t(r.failure) + " (error = " +
              std::to_string(d.registryCode) + (r.cause.empty() ? "" : ": " + r.cause) + ")");
        return;
    }
    if (!r.registered) {
        l.add("SIE: not registered: no entry has exactly this cn and serverroot on this host" +
              std::string(r.repairs.empty() ? "" : "; an interrupted removal left what follows"));
        repairLines(r, l);
        return;
    }
    l.add("SIE: " + l.t(r.sieDN) + ": would be deleted with its subtree");
    if (r.deleteProduct) {
        l.add("product entry: " + l.t(r.isieDN) +
              ": would be deleted with its subtree (no other instance)");
        chainLines(r, l);
    } else if (r.siblingsCode != 0) {
        l.add("product entry: " + l.t(r.isieDN) +
              ": would be trimmed: the entries below it "
              "cannot be read (error = " +
              std::to_string(r.siblingsCode) +
              "), so it stays and only stops listing this instance");
    } else {
        std::string names;
        for (const std::string& dn : r.siblings)
            names += (names.empty() ? "" : "; ") + l.t(dn);
        l.add("product entry: " + l.t(r.isieDN) +
              ": would be trimmed: it stops listing this instance and stays for " +
              std::to_string(r.siblings.size()) + " other " +
              (r.siblings.size() == 1 ? "entry" : "entries") + ": " + names);
    }
}

void serverLines(const ServerPlan& s, Lines& l)
{
    if (s.pid == 0) {
        l.add("server: no pid file (" + l.t(s.pidFile) + "): not running");
        return;
    }
    std::string head = "server: pid " + std::to_string(s.pid) + " (" + l.t(s.pidFile) + "): ";
    if (s.running)
        l.add(head + "running: the removal would stop it with SIGTERM (the plan sends no signal)");
    else if (s.reused)
        l.add(head + "started after the pid file was written: another program, which the "
                     "removal would not signal; the server counts as not running");
    else
        l.add(head + "not running");
}

void treeLines(const TreePlan& t, Lines& l)
{
    if (!t.exists) {
        l.add("tree: " + l.t(t.path) + ": does not exist: nothing to delete");
        return;
    }
    l.add("tree: " + l.t(t.path) + ": " + std::to_string(t.files) + " files, " +
          std::to_string(t.directories) + " directories, " + std::to_string(t.links) + " links, " +
          std::to_string(t.bytes) + " bytes");
    for (const TreeBlocker& b : t.blocked)
        l.add("would stay: " + l.t(b.path) + ": " + b.why);
    if (t.blockedCount > t.blocked.size())
        l.add("would stay: and " + std::to_string(t.blockedCount - t.blocked.size()) + " more");
}

std::string lastLine(const RemovalPlan& plan)
{
    if (plan.refused)
        return std::string(kIncomplete) + kRefused;
    if (plan.incomplete.empty())
        return kSucceed;
    std::string why;
    for (const std::string& reason : plan.incomplete)
        why += (why.empty() ? "" : "; ") + reason;
    return kIncomplete + why;
}

// True when text is well-formed UTF-8 (no overlong form, surrogate or
// code point above U+10FFFF), the only text a JSON document may hold.
bool isUtf8(const std::string& text)
{
    if (text.size() > static_cast<size_t>(INT32_MAX))
        return false;
    const int32_t length = static_cast<int32_t>(text.size());
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(text.data());
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0)
            return false;
    }
    return true;
}

// An outside text as a JSON value: a string when it is UTF-8; otherwise (a
// Latin-1 file name or DN, "slapd-%FF") the array of its bytes, numbers 0
// to 255, from which a reader gets back every byte.
json jtext(const std::string& text)
{
    if (isUtf8(text))
        return json(text);
    json bytes = json::array();
    for (unsigned char c : text)
        bytes.push_back(c);
    return bytes;
}

json jtexts(const std::vector<std::string>& texts)
{
    json out = json::array();
    for (const std::string& text : texts)
        out.push_back(jtext(text));
    return out;
}

json nullable(bool set, const std::string& text)
{
    return set ? jtext(text) : json(nullptr);
}

json chainJson(const PrunePlan& r)
{
    json stop = {{"dn", nullable(!r.pruneStop.empty(), r.pruneStop)},
                 {"why", pruneStopName(r.pruneStopWhy)}};
    if (r.pruneStopWhy == PruneStop::HasChildren)
        stop["keptBy"] = jtext(r.pruneKeeper);
    if (r.pruneStopWhy == PruneStop::Unreadable)
        stop["code"] = r.pruneStopCode;
    if (!r.keeperMember.empty())
        stop["stopsListing"] = jtext(r.keeperMember);
    return stop;
}

} // namespace

std::string cvPlanText(const RemovalPlan& plan, bool html)
{
    Lines l(html);
    if (plan.refused) {
        // Word for word what the removal answers.
        return plan.reply + lastLine(plan) + "\n";
    }
    l.add("instance: " + l.t(plan.instance));
    l.add("install root: " + l.t(plan.installRoot));
    registryLines(plan.directory, l);
    serverLines(plan.server, l);
    treeLines(plan.tree, l);
    l.add(lastLine(plan));
    return plan.reply + l.take();
}

std::string cvPlanJson(const RemovalPlan& plan)
{
    json out;
    out["mode"] = plan.silent ? "silent" : "cgi";
    out["exitStatus"] = plan.status;
    out["wouldSucceed"] = plan.status == 0;
    out["incomplete"] = jtexts(plan.incomplete);
    if (plan.refused) {
        out["refused"] = true;
        out["reply"] = jtext(plan.reply);
        out["incomplete"] = json::array({kRefused});
        out["summary"] = jtext(lastLine(plan));
        return out.dump(2) + "\n";
    }
    out["refused"] = false;
    out["instance"] = jtext(plan.instance);
    out["installRoot"] = jtext(plan.installRoot);

    const DirectoryPlan& d = plan.directory;
    if (!d.used) {
        out["configurationDirectory"] = nullptr;
        out["registration"] = nullptr;
    } else {
        out["configurationDirectory"] = {
            {"url", jtext(d.url)},
            {"bindIdentity", nullable(d.bindIdentityGiven, d.bindIdentity)},
            {"bindWorks", d.code == 0},
            {"code", d.code}};
        const RegistryPlan& r = d.registry;
        json reg;
        reg["registered"] = d.code == 0 && d.registryCode == 0 && r.registered;
        reg["code"] = d.code == 0 ? json(d.registryCode) : json(nullptr);
        if (d.code == 0 && d.registryCode != 0)
            reg["failure"] = jtext("could not " + r.failure);
        if (!r.cause.empty())
            reg["cause"] = r.cause;
        json repairs = json::array();
        for (const RegistryRepair& repair : r.repairs) {
            if (repair.kind == RegistryRepair::Kind::DanglingMember)
                repairs.push_back({{"action", "remove dangling member"},
                                   {"dn", jtext(repair.dn)},
                                   {"member", jtext(repair.member)}});
            else
                repairs.push_back({{"action", "delete emptied entry"},
                                   {"dn", jtext(repair.dn)},
                                   {"prune", jtexts(repair.chain.prune)},
                                   {"pruneStop", chainJson(repair.chain)}});
        }
        reg["repairs"] = repairs;
        if (d.code == 0 && d.registryCode == 0 && r.registered) {
            reg["sie"] = jtext(r.sieDN);
            json product = {{"dn", jtext(r.isieDN)},
                            {"action", r.deleteProduct ? "delete" : "trim"},
                            {"siblings", jtexts(r.siblings)}};
            if (r.siblingsCode != 0)
                product["siblingsCode"] = r.siblingsCode;
            reg["product"] = product;
            if (r.deleteProduct) {
                reg["prune"] = jtexts(r.prune);
                reg["pruneStop"] = chainJson(r);
            } else {
                reg["prune"] = json::array();
                reg["pruneStop"] = nullptr;
            }
        } else {
            reg["sie"] = nullptr;
        }
        out["registration"] = reg;
    }

    const ServerPlan& s = plan.server;
    out["server"] = {{"pidFile", jtext(s.pidFile)},
                     {"pid", s.pid != 0 ? json(s.pid) : json(nullptr)},
                     {"running", s.running},
                     {"pidReused", s.reused}};

    const TreePlan& t = plan.tree;
    json blocked = json::array();
    for (const TreeBlocker& b : t.blocked)
        blocked.push_back({{"path", jtext(b.path)}, {"why", b.why}});
    out["tree"] = {{"path", jtext(t.path)},
                   {"exists", t.exists},
                   {"files", t.files},
                   {"directories", t.directories},
                   {"links", t.links},
                   {"bytes", t.bytes},
                   {"wouldStay", blocked},
                   {"wouldStayCount", t.blockedCount},
                   {"notListed", t.blockedCount - t.blocked.size()}};
    out["summary"] = jtext(lastLine(plan));
    return out.dump(2) + "\n";
}

int cvPlanMain(int argc, char** argv)
{
    bool asJson = false;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::strcmp(argv[i], "--json") == 0)
            asJson = true;
        else
            args.push_back(argv[i]);
    }
    args.push_back(nullptr);
    RemovalPlan plan = cvMakeRemovalPlan(static_cast<int>(args.size()) - 1, args.data());
    std::string text = asJson ? cvPlanJson(plan) : cvPlanText(plan, !plan.silent);
    // A task reply needs its header; in text the captured one is in place.
    if (asJson && !plan.silent)
        text = "Content-type: application/json\n\n" + text;
    fwrite(text.data(), 1, text.size(), stdout);
    fflush(stdout);
    return plan.status;
}
