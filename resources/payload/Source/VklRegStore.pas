unit VklRegStore;

{ TVkRegistryStore keeps the settings below a key of HKEY_CURRENT_USER: one subkey per
  section, one string value per identifier. }

{$I Velkora.inc}

interface

uses
  Windows, Classes, SysUtils, VklStore, VklRegAccess;

type
  TVkRegistryStore = class(TVkSettingsStore)
  private
    FKeyPath: string;
    function SectionKey(const Section: string): string;
  protected
    function DoReadString(const Section, Ident: string; out Value: string): Boolean; override;
    procedure DoWriteString(const Section, Ident, Value: string); override;
    procedure DoDeleteValue(const Section, Ident: string); override;
    procedure DoReadSections(Strings: TStrings); override;
  published
    property KeyPath: string read FKeyPath write FKeyPath;
  end;

implementation

function TVkRegistryStore.SectionKey(const Section: string): string;
begin
  Result := FKeyPath + '\' + Section;
end;

function TVkRegistryStore.DoReadString(const Section, Ident: string; out Value: string): Boolean;
begin
  Result := VkRegRead(HKEY_CURRENT_USER, SectionKey(Section), Ident, Value);
end;

procedure TVkRegistryStore.DoWriteString(const Section, Ident, Value: string);
begin
  VkRegWrite(HKEY_CURRENT_USER, SectionKey(Section), Ident, Value);
end;

procedure TVkRegistryStore.DoDeleteValue(const Section, Ident: string);
begin
  VkRegDelete(HKEY_CURRENT_USER, SectionKey(Section), Ident);
end;

procedure TVkRegistryStore.DoReadSections(Strings: TStrings);
begin
  VkRegSubKeys(HKEY_CURRENT_USER, FKeyPath, Strings);
end;

end.
