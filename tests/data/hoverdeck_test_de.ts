<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Module1</name>
    <message>
        <source>Window</source>
        <comment>Module1.kWindow</comment>
        <translation>Fenster</translation>
    </message>
    <message>
        <source>Record &amp; Play Window</source>
        <comment>Module1.kShowRecordPlayWindow</comment>
        <translation>Aufnahme- &amp; Wiedergabefenster</translation>
    </message>
    <message>
        <source>Controller window</source>
        <comment>Module1.kShowControllerWindow</comment>
        <translation>Steuerfenster</translation>
    </message>
    <message>
        <source>Save...</source>
        <comment>Module1.kRecSave</comment>
        <translation>Sichern...</translation>
    </message>
    <message>
        <source>Open...</source>
        <comment>Module1.kRecOpen</comment>
        <translation>Öffnen...</translation>
    </message>
</context>
</TS>
