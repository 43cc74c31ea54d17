/*
 * BerMods: a modification list whose values are byte strings (LDAP_MOD_BVALUES),
 * for values that may hold any byte. The list points into texts it does not
 * own: they must outlive every call that uses get().
 */
#ifndef CV_LDAP_BERMODS_H
#define CV_LDAP_BERMODS_H

#include <ldap.h>

#include <memory>
#include <string>
#include <vector>

class BerMods {
public:
    // values may be empty: a delete of every value, or a replace with none.
    void add(int op, const std::string& type, const std::vector<const std::string*>& values)
    {
        std::unique_ptr<Mod> m(new Mod);
        m->type = type;
        for (const std::string* v : values) {
            berval b;
            b.bv_len = static_cast<ber_len_t>(v->size());
            b.bv_val = const_cast<char*>(v->data());
            m->values.push_back(b);
        }
        m->op = op;
        mods_.push_back(std::move(m));
    }
    bool empty() const { return mods_.empty(); }
    // Null-terminated array for the LDAP calls; valid until the next add.
    LDAPMod** get()
    {
        list_.clear();
        for (auto& m : mods_) {
            m->pointers.clear();
            for (berval& b : m->values)
                m->pointers.push_back(&b);
            m->pointers.push_back(nullptr);
            m->mod.mod_op = m->op | LDAP_MOD_BVALUES;
            m->mod.mod_type = const_cast<char*>(m->type.c_str());
            m->mod.mod_bvalues = m->values.empty() ? nullptr : m->pointers.data();
            list_.push_back(&m->mod);
        }
        list_.push_back(nullptr);
        return list_.data();
    }

private:
    struct Mod {
        int op = 0;
        std::string type;
        std::vector<berval> values;
        std::vector<berval*> pointers;
        LDAPMod mod{};
    };
    std::vector<std::unique_ptr<Mod>> mods_;
    std::vector<LDAPMod*> list_;
};

#endif
