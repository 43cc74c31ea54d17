// Form decoding of the admin task layer: GET queries and POST bodies of any
// bytes, with and without CONTENT_LENGTH, and the encoding that decodes back
// to the value encoded. The layer is not part of the setup library this
// target links, so its request source is compiled in here.
#include "../admintask/request.cpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    ADMUTIL_Init();
    ds_get_begin(text.c_str());
    ds_get_cgi_var("InstanceName");
    ds_is_safe_instance_name(ds_get_cgi_var(""));

    FILE* in = fmemopen(const_cast<char*>(text.data()), text.size() + 1, "r");
    if (in != nullptr) {
        if (size > 0 && data[0] & 1)
            setenv("CONTENT_LENGTH", std::to_string(size / 2).c_str(), 1);
        else
            unsetenv("CONTENT_LENGTH");
        ds_post_begin(in);
        fclose(in);
        for (const auto& var : admtask::requestVars())
            ds_is_safe_instance_name(var.second.c_str());
    }
    setenv("SCRIPT_NAME", text.c_str(), 1);
    ds_get_server_name();

    // Any value silent mode encodes decodes to itself, as the one variable.
    const std::string value = text.substr(0, text.find('\0'));
    ds_get_begin(("InstanceName=" + ds_form_encode(value)).c_str());
    const char* back = ds_get_cgi_var("InstanceName");
    if (back == nullptr || value != back || admtask::requestVars().size() != 1)
        abort();
    return 0;
}
