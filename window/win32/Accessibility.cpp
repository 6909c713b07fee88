// What a screen reader hears of the controls on Windows. The system names an edit, a list, a drop-down or a progress
// bar itself by the label that stands before it (the templates put each label there, a hidden one where a control
// shows no caption), and gives a drop-down's entry as its value. (Wine's oleacc names an edit by its label too, but a
// drop-down by its entry, with no value.) The controls a group box names, the spin and the lamps the program names
// through the system's annotation of a window's accessible properties (IAccPropServices), and a lamp's colour goes
// there as its value: an icon control's window text would be taken for the name of an icon resource. The annotations
// are cleared before the windows go.

#include "window/win32/Win32Window.h"

#include "window/common/AccessibleNames.h"
#include "window/common/IconDesign.h"

#include <oleacc.h>

#include <cstdio>

namespace {

// The system's annotation service: made on first use on the window thread (COM is the application object's), kept
// until the application object ends. The first refusal is kept to say why names and states go unheard.
struct CAnnotationService {
    IAccPropServices* pServices = nullptr;
    bool bTried = false;
    std::string strRefusal;
};

CAnnotationService& Service() {
    static CAnnotationService service;
    return service;
}

void Refused(const char* pszCall, HRESULT hr) {
    std::string& strRefusal = Service().strRefusal;
    if (!strRefusal.empty())
        return;
    char szCode[16];
    std::snprintf(szCode, sizeof(szCode), "0x%08lX", static_cast<unsigned long>(hr));
    strRefusal = std::string(pszCall) + " answered " + szCode;
    if (hr == E_NOTIMPL)
        strRefusal += " (E_NOTIMPL): this system's accessibility takes no annotations of a window's accessible "
                      "properties, as Wine's oleacc does not";
}

// The class and interface of the annotation service, given here rather than taken from the system's libraries:
// mingw-w64's uuid and oleacc libraries both define some of these identifiers, and a program that needs both (the
// known folders come from uuid) would get them twice.
constexpr GUID kAccPropServicesClass{0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr GUID kAccPropServicesInterface{0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};

IAccPropServices* Services() {
    CAnnotationService& service = Service();
    if (!service.bTried) {
        service.bTried = true;
        void* pServices = nullptr;
        const HRESULT hr = CoCreateInstance(kAccPropServicesClass, nullptr, CLSCTX_INPROC_SERVER,
                                            kAccPropServicesInterface, &pServices);
        if (SUCCEEDED(hr))
            service.pServices = static_cast<IAccPropServices*>(pServices);
        else
            Refused("CoCreateInstance(CLSID_AccPropServices)", hr);
    }
    return service.pServices;
}

constexpr auto kClient = static_cast<DWORD>(OBJID_CLIENT);

void Annotate(CWnd::Impl& control, const MSAAPROPID& property, const std::wstring& strText) {
    IAccPropServices* pServices = Services();
    if (!pServices || !control.hWnd)
        return;
    const HRESULT hr = pServices->SetHwndPropStr(control.hWnd, kClient, CHILDID_SELF, property, strText.c_str());
    if (FAILED(hr))
        Refused("IAccPropServices::SetHwndPropStr", hr);
    else
        control.bAnnotated = true;
}

// Whether the system cannot name the control by the label before it: the program names it.
bool NamedByTheProgram(const CNameSource& source, EControlKind kind) {
    if (source.source == ENameSource::None || source.source == ENameSource::Own)
        return false;
    return source.source != ENameSource::Label || kind == EControlKind::Icon;
}

} // namespace

void AnnotateControls(CDialog& dialog) {
    CDialog::DialogImpl& impl = dialog.GetDialogImpl();
    impl.nameSources = AccessibleNameSources(dialog.Template());
    AnnotateNames(dialog);
}

void AnnotateNames(CDialog& dialog) {
    CDialog::DialogImpl& impl = dialog.GetDialogImpl();
    for (std::size_t i = 0; i < impl.nameSources.size() && i < impl.controls.size(); ++i) {
        const CNameSource& source = impl.nameSources[i];
        CWnd::Impl& control = *impl.controls[i];
        if (!NamedByTheProgram(source, control.kind))
            continue;
        const HWND hSource = impl.controls[static_cast<std::size_t>(source.nItem)]->hWnd;
        const std::u16string name = AccessibleNameFromText(FromWide(hSource ? WindowTextOf(hSource) : std::wstring()),
                                                           KeepsAmpersands(dialog.Template(), source), source.nNumber);
        const std::wstring strName = ToWide(name);
        if (control.bAnnotated && control.strAnnotatedName == strName)
            continue;
        control.strAnnotatedName = strName;
        Annotate(control, PROPID_ACC_NAME, strName);
    }
}

void AnnotateLampState(CWnd::Impl& control) {
    if (control.kind != EControlKind::Icon)
        return;
    const icon_design::CLamp* lamp = icon_design::FindLamp(control.nIconId);
    const std::u16string state = lamp ? WidenShown(lamp->pszState) : std::u16string();
    Annotate(control, PROPID_ACC_VALUE, ToWide(state));
}

void ClearAnnotations(const CDialog::DialogImpl& impl) {
    IAccPropServices* pServices = Service().pServices;
    if (!pServices)
        return;
    const MSAAPROPID properties[] = {PROPID_ACC_NAME, PROPID_ACC_VALUE};
    for (const auto& control : impl.controls) {
        if (control->bAnnotated && control->hWnd)
            pServices->ClearHwndProps(control->hWnd, kClient, CHILDID_SELF, properties, 2);
    }
}

std::string AnnotationRefusal(HWND hWindow) {
    // A window the program never annotates is asked to drop an annotation: a system that takes annotations answers
    // that there was nothing to drop.
    if (IAccPropServices* pServices = Services(); pServices && hWindow && Service().strRefusal.empty()) {
        const MSAAPROPID help = PROPID_ACC_HELP;
        if (const HRESULT hr = pServices->ClearHwndProps(hWindow, kClient, CHILDID_SELF, &help, 1); FAILED(hr))
            Refused("IAccPropServices::ClearHwndProps", hr);
    }
    return Service().strRefusal;
}

void ReleaseAccessibility() {
    CAnnotationService& service = Service();
    if (service.pServices)
        service.pServices->Release();
    service.pServices = nullptr;
    service.bTried = true; // none is made again after COM has ended
}
