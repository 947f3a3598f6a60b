// A core built from deliberately altered declarations, for the core check's test: String
// declared a class where the core interface has a struct, and SetLanguage's text without its
// const. The check must name both, with those causes.
namespace Corvan {
namespace Velo {

class String {
  public:
    char* data;
    unsigned length;
};

struct __declspec(dllexport) VeloLogin {
    static void Login(const String& a, const String& b, const String& c, const String& d);
};
struct __declspec(dllexport) VeloTools {
    static void SetLanguage(char* language);
};

void VeloLogin::Login(const String&, const String&, const String&, const String&) {}
void VeloTools::SetLanguage(char*) {}

}  // namespace Velo
}  // namespace Corvan
