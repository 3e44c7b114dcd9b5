// CDialog and CDialogEx: creation from a template, the modal run through the modal-UI
// seam, OK/Cancel, and control binding (DDX_Control) of the controls the template made.
#include <QTableView>
#include <QWidget>

#include "platform/testing.h"
#include "platform/ui/peer.h"
#include "platform/ui/winapp.h"

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_parent(parent) {}

CDialog::~CDialog() = default;

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, &CDialog::OnOK)
    ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

BEGIN_MESSAGE_MAP(CDialogEx, CDialog)
END_MESSAGE_MAP()

BOOL CDialog::Create(UINT templateId, CWnd* parent)
{
    if (templateId != 0)
        m_templateId = templateId;
    if (parent != nullptr)
        m_parent = parent;
    const DialogTemplate* templ = FindDialogResource(static_cast<int>(m_templateId));
    if (templ == nullptr)
        return FALSE;
    DestroyWindow();
    m_style = templ->style;
    m_text = templ->caption;
    if (!CreateDialogPeer(*this, *templ))
        return FALSE;
    AfxCallGuarded(this, [this] { OnInitDialog(); });
    if ((m_style & WS_VISIBLE) != 0 && m_hWnd != nullptr && !m_impl->modalRunning)
        ShowWindow(SW_SHOW);
    return TRUE;
}

INT_PTR CDialog::DoModal()
{
    m_impl->modalRunning = true;
    m_impl->modalEnded = false;
    m_modalResult = 0;   // 0 while the dialog runs; EndDialog sets the result
    if (!Create()) {
        m_impl->modalRunning = false;
        return -1;
    }
    if (!m_impl->modalEnded)
        CurrentModalUi().RunModalLoop(*this);
    m_impl->modalRunning = false;
    DestroyWindow();
    return m_modalResult;
}

BOOL CDialog::OnInitDialog()
{
    CDataExchange dx{this};
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::OnOK()
{
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::EndDialog(int result)
{
    m_modalResult = result;
    m_impl->modalEnded = true;
    DestroyWindow();
    if (m_impl->quitModalLoop)
        m_impl->quitModalLoop();
}

bool CDialog::IsModalLoopRunning() const
{
    return m_impl->modalRunning && !m_impl->modalEnded;
}

LRESULT CDialog::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE)
        return SendMessage(WM_COMMAND, IDCANCEL);
    return CWnd::DefWindowProc(message, wParam, lParam);
}

// ---------------------------------------------------------------------------------
// Control binding

void AttachControlPeer(CWnd& dialog, int controlId, CWnd& control)
{
    WndAccess::Impl& dialogState = WndAccess::Of(dialog);
    WndAccess::Impl& controlState = WndAccess::Of(control);
    CWnd* previous = dialog.GetDlgItem(controlId);
    if (previous != nullptr && previous != &control) {
        // The object that stood for the control hands over its widget and text.
        WndAccess::Impl& standIn = WndAccess::Of(*previous);
        controlState.peer = standIn.peer;
        control.m_hWnd = previous->m_hWnd;
        WndAccess::Style(control) = previous->GetStyle();
        WndAccess::Text(control) = previous->GetWindowText();
        standIn.peer = nullptr;
        previous->m_hWnd = nullptr;
        standIn.parent = nullptr;
        auto& owned = dialogState.standIns;
        for (auto it = owned.begin(); it != owned.end(); ++it) {
            if (it->get() == previous) {
                owned.erase(it);
                break;
            }
        }
    }
    WndAccess::ControlId(control) = controlId;
    controlState.parent = &dialog;
    dialogState.children[controlId] = &control;
    if (auto* list = dynamic_cast<CListCtrl*>(&control)) {
        if (auto* view = qobject_cast<QTableView*>(controlState.peer.data()))
            AttachListView(*list, view);
    }
}
