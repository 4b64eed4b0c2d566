{ chmcmd built here from Free Pascal's chm package: compiles a .hhp project
  into a .chm. Built together with a copy of chmfilewriter.pas whose context
  map stores topic names relative to the project (build-chm.sh makes that
  copy), so that HH_HELP_CONTEXT finds its topics on every machine. }
program chmcmd;

{$mode objfpc}{$H+}

uses
  Classes, SysUtils, chmfilewriter;

var
  failed: Boolean = False;

procedure Report(project: TChmProject; kind: TChmProjectErrorKind; msg: String;
  detail: Integer = 0);
begin
  if kind = chmerror then failed := True;
  if kind in [chmerror, chmwarning] then
    WriteLn(StdErr, 'chmcmd: ', msg);
end;

var
  project: TChmProject;
  output: TFileStream;
  outName: String;
begin
  if ParamCount <> 1 then
  begin
    WriteLn(StdErr, 'usage: chmcmd PROJECT.hhp');
    Halt(2);
  end;
  project := TChmProject.Create;
  try
    project.OnError := @Report;
    project.LoadFromhhp(ParamStr(1), False);
    project.ScanHtmlContents := True;
    outName := project.OutputFileName;
    if ExtractFilePath(outName) = '' then
      outName := project.ProjectDir + outName;
    output := TFileStream.Create(outName, fmCreate);
    try
      project.WriteChm(output);
    finally
      output.Free;
    end;
  finally
    project.Free;
  end;
  if failed then Halt(1);
end.
