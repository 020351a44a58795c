unit VklFormState;

{ TVkFormState saves the position, size and window state of the form that owns it when the
  form closes, and restores them when the form is created, keeping the form on a monitor. }

{$I Velkora.inc}

interface

uses
  Windows, Classes, SysUtils, Forms, VklStore, VklMonitors;

type
  TVkFormState = class(TComponent)
  private
    FStore: TVkSettingsStore;
    FSection: string;
    FSaveOnClose: Boolean;
    FOldOnClose: TCloseEvent;
    procedure FormClose(Sender: TObject; var Action: TCloseAction);
    function OwnerForm: TCustomForm;
  protected
    procedure Loaded; override;
    procedure Notification(AComponent: TComponent; Operation: TOperation); override;
  public
    constructor Create(AOwner: TComponent); override;
    procedure Save;
    procedure Restore;
  published
    property Store: TVkSettingsStore read FStore write FStore;
    property Section: string read FSection write FSection;
    property SaveOnClose: Boolean read FSaveOnClose write FSaveOnClose default True;
  end;

implementation

uses
  VklConsts;

constructor TVkFormState.Create(AOwner: TComponent);
begin
  inherited Create(AOwner);
  FSaveOnClose := True;
end;

function TVkFormState.OwnerForm: TCustomForm;
begin
  if Owner is TCustomForm then
    Result := TCustomForm(Owner)
  else
    Result := nil;
end;

procedure TVkFormState.Loaded;
var
  Form: TCustomForm;
begin
  inherited Loaded;
  Form := OwnerForm;
  if (Form = nil) or (csDesigning in ComponentState) then
    Exit;
  FOldOnClose := TForm(Form).OnClose;
  TForm(Form).OnClose := FormClose;
  Restore;
end;

procedure TVkFormState.Notification(AComponent: TComponent; Operation: TOperation);
begin
  inherited Notification(AComponent, Operation);
  if (Operation = opRemove) and (AComponent = FStore) then
    FStore := nil;
end;

procedure TVkFormState.FormClose(Sender: TObject; var Action: TCloseAction);
begin
  if Assigned(FOldOnClose) then
    FOldOnClose(Sender, Action);
  if FSaveOnClose then
    Save;
end;

procedure TVkFormState.Save;
var
  Form: TCustomForm;
  Placement: TWindowPlacement;
begin
  Form := OwnerForm;
  if (Form = nil) or (FStore = nil) then
    Exit;
  Placement.length := SizeOf(Placement);
  GetWindowPlacement(Form.Handle, @Placement);
  with Placement.rcNormalPosition do
  begin
    FStore.WriteInteger(FSection, 'Left', Left);
    FStore.WriteInteger(FSection, 'Top', Top);
    FStore.WriteInteger(FSection, 'Width', Right - Left);
    FStore.WriteInteger(FSection, 'Height', Bottom - Top);
  end;
  FStore.WriteBool(FSection, 'Maximized', Form.WindowState = wsMaximized);
end;

procedure TVkFormState.Restore;
var
  Form: TCustomForm;
  Bounds: TRect;
begin
  Form := OwnerForm;
  if (Form = nil) or (FStore = nil) then
    Exit;
  Bounds.Left := FStore.ReadInteger(FSection, 'Left', Form.Left);
  Bounds.Top := FStore.ReadInteger(FSection, 'Top', Form.Top);
  Bounds.Right := Bounds.Left + FStore.ReadInteger(FSection, 'Width', Form.Width);
  Bounds.Bottom := Bounds.Top + FStore.ReadInteger(FSection, 'Height', Form.Height);
  Bounds := VkKeepOnMonitor(Bounds);
  Form.SetBounds(Bounds.Left, Bounds.Top, Bounds.Right - Bounds.Left, Bounds.Bottom - Bounds.Top);
  if FStore.ReadBool(FSection, 'Maximized', False) then
    Form.WindowState := wsMaximized;
end;

end.
