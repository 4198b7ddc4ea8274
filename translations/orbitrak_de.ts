<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CatalogueLoader</name>
    <message>
        <source>No element sets yet: get them with TLEs &gt; Load TLEs... or TLEs &gt; Update from sources.</source>
        <translation>Noch keine Elementsätze: Holen Sie sie mit TLEs &gt; TLEs laden... oder TLEs &gt; Aus Quellen aktualisieren.</translation>
    </message>
    <message>
        <source>%1 holds no element sets in a known form.</source>
        <translation>%1 enthält keine Elementsätze in einer bekannten Form.</translation>
    </message>
    <message>
        <source>Showing the first %1 of %2 element sets.</source>
        <translation>Die ersten %1 von %2 Elementsätzen werden angezeigt.</translation>
    </message>
    <message>
        <source>%1 The catalogue is unchanged.</source>
        <translation>%1 Der Katalog bleibt unverändert.</translation>
    </message>
</context>
<context>
    <name>CatalogueUpdateUi</name>
    <message>
        <source>Downloading element sets...</source>
        <translation>Elementsätze werden heruntergeladen...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Update from sources</source>
        <translation>Aus Quellen aktualisieren</translation>
    </message>
    <message>
        <source>Waiting for %1 of %2 sources: %3 KiB received.</source>
        <translation>Warte auf %1 von %2 Quellen: %3 KiB empfangen.</translation>
    </message>
    <message numerus="yes">
        <source>%n day</source>
        <translation>
            <numerusform>%n Tag</numerusform>
            <numerusform>%n Tage</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n days</source>
        <translation>
            <numerusform>%n Tag</numerusform>
            <numerusform>%n Tage</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 is older than %2: updating from the sources.</source>
        <translation>%1 ist älter als %2: Aktualisierung aus den Quellen.</translation>
    </message>
    <message>
        <source>No %1: updating from the sources.</source>
        <translation>%1 fehlt: Aktualisierung aus den Quellen.</translation>
    </message>
    <message>
        <source>Element sets are %1 days old: TLEs &gt; Update from sources.</source>
        <translation>Die Elementsätze sind %1 Tage alt: TLEs &gt; Aus Quellen aktualisieren.</translation>
    </message>
    <message>
        <source>%1 refused the last request (HTTP %2). Ask it again anyway?</source>
        <translation>%1 hat die letzte Anfrage abgelehnt (HTTP %2). Trotzdem erneut anfragen?</translation>
    </message>
    <message>
        <source>Asking %1 again, by request, before its pause ends at %2 UTC.</source>
        <translation>%1 wird auf Wunsch erneut angefragt, bevor die Pause um %2 UTC endet.</translation>
    </message>
</context>
<context>
    <name>CatalogueUpdater</name>
    <message>
        <source>Updated %1 from %2.</source>
        <translation>%1 aus %2 aktualisiert.</translation>
    </message>
    <message numerus="yes">
        <source>%n element set</source>
        <translation>
            <numerusform>%n Elementsatz</numerusform>
            <numerusform>%n Elementsätze</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n element sets</source>
        <translation>
            <numerusform>%n Elementsatz</numerusform>
            <numerusform>%n Elementsätze</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n source</source>
        <translation>
            <numerusform>%n Quelle</numerusform>
            <numerusform>%n Quellen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n sources</source>
        <translation>
            <numerusform>%n Quelle</numerusform>
            <numerusform>%n Quellen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Skipped %n element set that failed their checks.</source>
        <translation>
            <numerusform>%n Elementsatz übersprungen, der die Prüfung nicht bestanden hat.</numerusform>
            <numerusform>%n Elementsätze übersprungen, die die Prüfung nicht bestanden haben.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Skipped %n element sets that failed their checks.</source>
        <translation>
            <numerusform>%n Elementsatz übersprungen, der die Prüfung nicht bestanden hat.</numerusform>
            <numerusform>%n Elementsätze übersprungen, die die Prüfung nicht bestanden haben.</numerusform>
        </translation>
    </message>
    <message>
        <source>Cannot update from %1: %2.</source>
        <translation>Aktualisierung aus %1 nicht möglich: %2.</translation>
    </message>
    <message>
        <source>not an http, https or file URL</source>
        <translation>keine http-, https- oder file-URL</translation>
    </message>
    <message>
        <source>No sources to update from.</source>
        <translation>Keine Quellen zum Aktualisieren.</translation>
    </message>
    <message>
        <source>HTTP status %1</source>
        <translation>HTTP-Status %1</translation>
    </message>
    <message>
        <source>no answer within %1 s</source>
        <translation>keine Antwort innerhalb von %1 s</translation>
    </message>
    <message>
        <source>cancelled</source>
        <translation>abgebrochen</translation>
    </message>
    <message>
        <source>no valid element set</source>
        <translation>kein gültiger Elementsatz</translation>
    </message>
    <message>
        <source>more than %1 MiB</source>
        <translation>mehr als %1 MiB</translation>
    </message>
    <message>
        <source>more than %1 bytes</source>
        <translation>mehr als %1 Bytes</translation>
    </message>
    <message>
        <source>paused until %1 UTC after HTTP %2</source>
        <translation>pausiert bis %1 UTC nach HTTP %2</translation>
    </message>
    <message numerus="yes">
        <source>Used the copy of %1 from %n minute ago.</source>
        <translation>
            <numerusform>Die Kopie von %1 von vor %n Minute verwendet.</numerusform>
            <numerusform>Die Kopie von %1 von vor %n Minuten verwendet.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Used the copy of %1 from %n minutes ago.</source>
        <translation>
            <numerusform>Die Kopie von %1 von vor %n Minute verwendet.</numerusform>
            <numerusform>Die Kopie von %1 von vor %n Minuten verwendet.</numerusform>
        </translation>
    </message>
    <message>
        <source>Updates from %1 paused until %2 UTC after HTTP %3.</source>
        <translation>Aktualisierungen von %1 pausiert bis %2 UTC nach HTTP %3.</translation>
    </message>
    <message>
        <source>too many redirects</source>
        <translation>zu viele Weiterleitungen</translation>
    </message>
    <message>
        <source>redirected to %1, which is less safe</source>
        <translation>weitergeleitet zu %1, was weniger sicher ist</translation>
    </message>
    <message>
        <source>%1 has moved to %2: change it in TLEs &gt; Sources...</source>
        <translation>%1 ist umgezogen nach %2: bitte unter TLEs &gt; Quellen... ändern</translation>
    </message>
    <message numerus="yes">
        <source>Skipped %n element set whose catalogue number does not fit a TLE.</source>
        <translation>
            <numerusform>%n Elementsatz übersprungen, dessen Katalognummer in kein TLE passt.</numerusform>
            <numerusform>%n Elementsätze übersprungen, deren Katalognummern in kein TLE passen.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Skipped %n element sets whose catalogue numbers do not fit a TLE.</source>
        <translation>
            <numerusform>%n Elementsatz übersprungen, dessen Katalognummer in kein TLE passt.</numerusform>
            <numerusform>%n Elementsätze übersprungen, deren Katalognummern in kein TLE passen.</numerusform>
        </translation>
    </message>
    <message>
        <source>the answer, without a length, ends before its JSON document does</source>
        <translation>die Antwort ohne Längenangabe endet vor ihrem JSON-Dokument</translation>
    </message>
    <message>
        <source>the answer, without a length, ends before its XML document does</source>
        <translation>die Antwort ohne Längenangabe endet vor ihrem XML-Dokument</translation>
    </message>
    <message>
        <source>the answer, without a length, does not end with a line feed after a line 2</source>
        <translation>die Antwort ohne Längenangabe endet nicht mit einem Zeilenvorschub nach einer Zeile 2</translation>
    </message>
    <message>
        <source>the answer, without a length, does not end with a line feed</source>
        <translation>die Antwort ohne Längenangabe endet nicht mit einem Zeilenvorschub</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>cannot read the file (%1)</source>
        <translation>Datei nicht lesbar (%1)</translation>
    </message>
    <message>
        <source>%1 has moved to %2.</source>
        <translation>%1 ist umgezogen nach %2.</translation>
    </message>
    <message>
        <source>The answer of %1 came without a length and gave %2, fewer than half of the %3 of its last update: it may have been cut short, so it was kept aside, not merged. A forced update takes it (orbitrak-cli update --force, or TLEs &gt; Update now, ignoring the 2-hour rule).</source>
        <translation>Die Antwort von %1 kam ohne Längenangabe und ergab %2, weniger als die Hälfte der %3 ihrer letzten Aktualisierung: Sie ist vielleicht abgeschnitten und wurde daher beiseitegelegt, nicht übernommen. Eine erzwungene Aktualisierung übernimmt sie (orbitrak-cli update --force oder TLEs &gt; Jetzt aktualisieren, ohne die 2-Stunden-Regel).</translation>
    </message>
    <message>
        <source>kept aside as perhaps cut short</source>
        <translation>beiseitegelegt, da vielleicht abgeschnitten</translation>
    </message>
</context>
<context>
    <name>FileAccess</name>
    <message>
        <source>%1 does not exist.</source>
        <translation>%1 existiert nicht.</translation>
    </message>
    <message>
        <source>%1 is not a regular file.</source>
        <translation>%1 ist keine gewöhnliche Datei.</translation>
    </message>
    <message>
        <source>%1 is larger than %2 MiB.</source>
        <translation>%1 ist größer als %2 MiB.</translation>
    </message>
    <message>
        <source>%1 is larger than %2 bytes.</source>
        <translation>%1 ist größer als %2 Bytes.</translation>
    </message>
    <message>
        <source>Cannot read %1: %2.</source>
        <translation>%1 kann nicht gelesen werden: %2.</translation>
    </message>
    <message>
        <source>Cannot write %1: %2.</source>
        <translation>%1 kann nicht geschrieben werden: %2.</translation>
    </message>
</context>
<context>
    <name>LogModel</name>
    <message>
        <source>%1 (repeated %2 times)</source>
        <translation>%1 (%2-mal wiederholt)</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Zeit</translation>
    </message>
    <message>
        <source>Event</source>
        <translation>Ereignis</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Unpark</source>
        <translation>Entparken</translation>
    </message>
    <message>
        <source>Park</source>
        <translation>Parken</translation>
    </message>
    <message>
        <source>Connect mount</source>
        <translation>Montierung verbinden</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Filter TLEs by name</source>
        <translation>TLEs nach Namen filtern</translation>
    </message>
    <message>
        <source>Current UTC time</source>
        <translation>Aktuelle UTC-Zeit</translation>
    </message>
    <message>
        <source>Mount</source>
        <translation>Montierung</translation>
    </message>
    <message>
        <source>TLEs</source>
        <translation>TLEs</translation>
    </message>
    <message>
        <source>View</source>
        <translation>Ansicht</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>About Orbitrak</source>
        <translation>Über Orbitrak</translation>
    </message>
    <message>
        <source>About Qt</source>
        <translation>Über Qt</translation>
    </message>
    <message>
        <source>Setup...</source>
        <translation>Einrichtung...</translation>
    </message>
    <message>
        <source>Load TLEs...</source>
        <translation>TLEs laden...</translation>
    </message>
    <message>
        <source>Sources...</source>
        <translation>Quellen...</translation>
    </message>
    <message>
        <source>Update from sources</source>
        <translation>Aus Quellen aktualisieren</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Orbitrak %1&lt;/h3&gt;&lt;p&gt;Follows artificial satellites with a Halvstar telescope mount: where every satellite of the catalogue stands in the sky, the coming passes, and the mount&apos;s tracking.&lt;/p&gt;&lt;p&gt;Licence: MIT. Copyright 2026 Halvstar.&lt;/p&gt;&lt;p&gt;Data: element sets from the sources you choose (TLEs, Sources...; by default CelesTrak&apos;s bright satellites); leap seconds from the IERS and the USNO; Delta T from Stephenson, Morrison and others, and from IERS Earth orientation data. Orbits with SGP4/SDP4 as published in &lt;i&gt;Revisiting Spacetrack Report #3&lt;/i&gt; (2006).&lt;/p&gt;&lt;p&gt;Built with Qt %2.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Orbitrak %1&lt;/h3&gt;&lt;p&gt;Folgt künstlichen Satelliten mit einer Halvstar-Teleskopmontierung: wo jeder Satellit des Katalogs am Himmel steht, die kommenden Überflüge und die Nachführung der Montierung.&lt;/p&gt;&lt;p&gt;Lizenz: MIT. Copyright 2026 Halvstar.&lt;/p&gt;&lt;p&gt;Daten: Elementsätze aus den Quellen Ihrer Wahl (TLEs, Quellen...; vorgegeben sind die hellen Satelliten von CelesTrak); Schaltsekunden vom IERS und vom USNO; Delta T nach Stephenson, Morrison und anderen sowie aus den Erdorientierungsdaten des IERS. Bahnen mit SGP4/SDP4, wie in &lt;i&gt;Revisiting Spacetrack Report #3&lt;/i&gt; (2006) veröffentlicht.&lt;/p&gt;&lt;p&gt;Erstellt mit Qt %2.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Open TLE elements file</source>
        <translation>TLE-Datei öffnen</translation>
    </message>
    <message>
        <source>Update now, ignoring the 2-hour rule</source>
        <translation>Jetzt aktualisieren, ohne die 2-Stunden-Regel</translation>
    </message>
    <message>
        <source>Preferences...</source>
        <translation>Einstellungen...</translation>
    </message>
    <message>
        <source>Element set files (*.txt *.tle *.json *.csv *.xml *.kvn);;All files (*)</source>
        <translation>Elementsatz-Dateien (*.txt *.tle *.json *.csv *.xml *.kvn);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Export passes...</source>
        <translation>Überflüge exportieren...</translation>
    </message>
    <message>
        <source>iCalendar files (*.ics)</source>
        <translation>iCalendar-Dateien (*.ics)</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV-Dateien (*.csv)</translation>
    </message>
    <message>
        <source>Export passes</source>
        <translation>Überflüge exportieren</translation>
    </message>
    <message>
        <source>Adds the measured error of the mount&apos;s clock to each satellite&apos;s time offset when it is above 0.1 s.</source>
        <translation>Addiert den gemessenen Fehler der Montierungsuhr zum Zeitversatz jedes Satelliten, wenn er 0,1 s übersteigt.</translation>
    </message>
    <message>
        <source>Correct for the mount&apos;s clock</source>
        <translation>Uhr der Montierung ausgleichen</translation>
    </message>
    <message>
        <source>Time offset</source>
        <translation>Zeitversatz</translation>
    </message>
    <message>
        <source>The selected satellite&apos;s time offset, kept for it: the mount follows it this much later (earlier when negative). It moves the epoch of the set uploaded, not the table.</source>
        <translation>Der Zeitversatz des gewählten Satelliten, für ihn gespeichert: Die Montierung folgt ihm um so viel später (früher, wenn negativ). Er verschiebt die Epoche des hochgeladenen Bahnelementsatzes, nicht die Tabelle.</translation>
    </message>
    <message>
        <source> s</source>
        <translation> s</translation>
    </message>
    <message>
        <source>Observing site...</source>
        <translation>Beobachtungsort...</translation>
    </message>
    <message>
        <source>Clock %1 s</source>
        <translation>Uhr %1 s</translation>
    </message>
    <message>
        <source>Mount clock %1 s</source>
        <translation>Montierungsuhr %1 s</translation>
    </message>
    <message>
        <source>Could not save the preferences.</source>
        <translation>Die Einstellungen konnten nicht gespeichert werden.</translation>
    </message>
</context>
<context>
    <name>MapDock</name>
    <message>
        <source>Map</source>
        <translation>Karte</translation>
    </message>
</context>
<context>
    <name>MapView</name>
    <message>
        <source>No coastlines: %1</source>
        <translation>Keine Küstenlinien: %1</translation>
    </message>
    <message>
        <source>The Sun overhead</source>
        <translation>Die Sonne im Zenit</translation>
    </message>
    <message>
        <source>The Moon overhead</source>
        <translation>Der Mond im Zenit</translation>
    </message>
    <message>
        <source>The mount&apos;s site</source>
        <translation>Der Standort der Montierung</translation>
    </message>
    <message>
        <source>The observing site</source>
        <translation>Der Beobachtungsort</translation>
    </message>
</context>
<context>
    <name>MountClockCheck</name>
    <message>
        <source>The connection failed while the mount&apos;s clock was read: it is not read again, in case this mount does not answer the time commands.</source>
        <translation>Die Verbindung ist beim Lesen der Montierungsuhr abgebrochen: Sie wird nicht noch einmal gelesen, falls diese Montierung die Zeitbefehle nicht beantwortet.</translation>
    </message>
    <message>
        <source>Unreadable time from mount: &apos;%1&apos;.</source>
        <translation>Unlesbare Zeit von der Montierung: &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>The mount&apos;s clock is %1 s behind UTC: it will trail the satellite by that much.</source>
        <translation>Die Uhr der Montierung geht %1 s hinter UTC nach: Sie wird dem Satelliten um so viel hinterherlaufen.</translation>
    </message>
    <message>
        <source>The mount&apos;s clock is %1 s ahead of UTC: it will lead the satellite by that much.</source>
        <translation>Die Uhr der Montierung geht %1 s vor UTC vor: Sie wird dem Satelliten um so viel vorauslaufen.</translation>
    </message>
</context>
<context>
    <name>MountConnection</name>
    <message>
        <source>Connection error.</source>
        <translation>Verbindungsfehler.</translation>
    </message>
    <message>
        <source>Connecting to mount...</source>
        <translation>Verbindung zur Montierung wird hergestellt...</translation>
    </message>
    <message>
        <source>Disconnected from mount.</source>
        <translation>Verbindung zur Montierung getrennt.</translation>
    </message>
    <message>
        <source>Connected to mount.</source>
        <translation>Mit der Montierung verbunden.</translation>
    </message>
    <message>
        <source>Mount did not answer %1 within %2 s.</source>
        <translation>Die Montierung hat %1 nicht innerhalb von %2 s beantwortet.</translation>
    </message>
    <message>
        <source>Ignored unexpected data from mount.</source>
        <translation>Unerwartete Daten der Montierung ignoriert.</translation>
    </message>
    <message>
        <source>Mount did not accept the connection within %1 s.</source>
        <translation>Die Montierung hat die Verbindung nicht innerhalb von %1 s angenommen.</translation>
    </message>
    <message>
        <source>Mount sent more than %1 KiB of unexpected data within %2 s.</source>
        <translation>Die Montierung hat innerhalb von %2 s mehr als %1 KiB unerwarteter Daten gesendet.</translation>
    </message>
</context>
<context>
    <name>MountHandshake</name>
    <message>
        <source>Mount firmware version: %1</source>
        <translation>Firmware-Version der Montierung: %1</translation>
    </message>
    <message>
        <source>This firmware doesn&apos;t support satellite tracking commands. Upgrade at least to 2.15.1.</source>
        <translation>Diese Firmware unterstützt keine Befehle zur Satellitenverfolgung. Aktualisieren Sie mindestens auf 2.15.1.</translation>
    </message>
    <message>
        <source>This firmware doesn&apos;t support real-time tracking error readout. To enable it upgrade at least to 2.15.14.</source>
        <translation>Diese Firmware kann die Nachführfehler nicht in Echtzeit auslesen. Aktualisieren Sie dafür mindestens auf 2.15.14.</translation>
    </message>
    <message>
        <source>Unreadable site from mount: %1 &apos;%2&apos;.</source>
        <translation>Unlesbarer Standort von der Montierung: %1 „%2“.</translation>
    </message>
    <message>
        <source>latitude</source>
        <translation>Breite</translation>
    </message>
    <message>
        <source>longitude</source>
        <translation>Länge</translation>
    </message>
    <message>
        <source>elevation</source>
        <translation>Höhe</translation>
    </message>
    <message>
        <source>Received site information: lat = %1 deg, lon = %2 deg, elev = %3 m</source>
        <translation>Standort empfangen: Breite = %1°, Länge = %2°, Höhe = %3 m</translation>
    </message>
</context>
<context>
    <name>MountSettingsDialog</name>
    <message>
        <source>Halvstar Orbitrak setup</source>
        <translation>Halvstar Orbitrak – Einrichtung</translation>
    </message>
    <message>
        <source>Mount IP address</source>
        <translation>IP-Adresse der Montierung</translation>
    </message>
</context>
<context>
    <name>ObservingSiteDialog</name>
    <message>
        <source>Observing site</source>
        <translation>Beobachtungsort</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source> ° N</source>
        <translation> ° N</translation>
    </message>
    <message>
        <source> ° E</source>
        <translation> ° O</translation>
    </message>
    <message>
        <source> m</source>
        <translation> m</translation>
    </message>
    <message>
        <source>flat</source>
        <translation>flach</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>Durchsuchen...</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Latitude (north +)</source>
        <translation>Breite (Nord +)</translation>
    </message>
    <message>
        <source>Longitude (east +)</source>
        <translation>Länge (Ost +)</translation>
    </message>
    <message>
        <source>Elevation</source>
        <translation>Höhe</translation>
    </message>
    <message>
        <source>Horizon file</source>
        <translation>Horizontdatei</translation>
    </message>
    <message>
        <source>The selected site is used until a mount connects; from then on, the mount&apos;s own.</source>
        <translation>Der gewählte Ort gilt, bis sich eine Montierung verbindet; von da an der der Montierung.</translation>
    </message>
    <message>
        <source>Site %1</source>
        <translation>Ort %1</translation>
    </message>
    <message>
        <source>Horizon files (*.txt *.hrz *.csv);;All files (*)</source>
        <translation>Horizontdateien (*.txt *.hrz *.csv);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>The horizon file %1 does not exist.</source>
        <translation>Die Horizontdatei %1 existiert nicht.</translation>
    </message>
    <message>
        <source>The horizon file %1 is not a regular file.</source>
        <translation>Die Horizontdatei %1 ist keine gewöhnliche Datei.</translation>
    </message>
    <message>
        <source>The horizon file %1 cannot be read (%2).</source>
        <translation>Die Horizontdatei %1 kann nicht gelesen werden (%2).</translation>
    </message>
    <message>
        <source>The horizon file %1 is larger than %2 MiB.</source>
        <translation>Die Horizontdatei %1 ist größer als %2 MiB.</translation>
    </message>
    <message>
        <source>Line %1 of the horizon file %2 is not an azimuth and an altitude in degrees.</source>
        <translation>Zeile %1 der Horizontdatei %2 ist kein Azimut und keine Höhe in Grad.</translation>
    </message>
    <message>
        <source>Observing site: %1 (%2, %3, %4 m).</source>
        <translation>Beobachtungsort: %1 (%2, %3, %4 m).</translation>
    </message>
    <message>
        <source>%1° S</source>
        <translation>%1° S</translation>
    </message>
    <message>
        <source>%1° N</source>
        <translation>%1° N</translation>
    </message>
    <message>
        <source>%1° W</source>
        <translation>%1° W</translation>
    </message>
    <message>
        <source>%1° E</source>
        <translation>%1° O</translation>
    </message>
</context>
<context>
    <name>ObservingSites</name>
    <message>
        <source>The settings hold %1 observing sites; the first %2 are read.</source>
        <translation>Die Einstellungen enthalten %1 Beobachtungsorte; die ersten %2 werden gelesen.</translation>
    </message>
</context>
<context>
    <name>PassExporter</name>
    <message>
        <source>No pass to export: the planner shows none.</source>
        <translation>Kein Überflug zu exportieren: Der Planer zeigt keinen.</translation>
    </message>
    <message>
        <source>No whole pass to export: a pass must rise and set within the search window.</source>
        <translation>Kein vollständiger Überflug zu exportieren: Ein Überflug muss im Suchzeitraum auf- und untergehen.</translation>
    </message>
    <message>
        <source>Exported %1 of %2 passes to %3; %4 left out as not whole (rising or setting outside the search window).</source>
        <translation>%1 von %2 Überflügen nach %3 exportiert; %4 ausgelassen, da unvollständig (Auf- oder Untergang außerhalb des Suchzeitraums).</translation>
    </message>
    <message numerus="yes">
        <source>Exported %n pass to %1.</source>
        <translation>
            <numerusform>%n Überflug nach %1 exportiert.</numerusform>
            <numerusform>%n Überflüge nach %1 exportiert.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Exported %n passes to %1.</source>
        <translation>
            <numerusform>%n Überflug nach %1 exportiert.</numerusform>
            <numerusform>%n Überflüge nach %1 exportiert.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>PassRecorder</name>
    <message>
        <source>Could not write the pass record %1.</source>
        <translation>Das Überflugprotokoll %1 konnte nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>Pass record: %1 (no tracking errors read).</source>
        <translation>Überflugprotokoll: %1 (keine Nachführfehler gelesen).</translation>
    </message>
    <message>
        <source>Pass record: %1 (RMS %2&quot;, %3&quot;).</source>
        <translation>Überflugprotokoll: %1 (RMS %2&quot;, %3&quot;).</translation>
    </message>
    <message>
        <source>Could not write the pass record %1: %2.</source>
        <translation>Das Überflugprotokoll %1 konnte nicht geschrieben werden: %2.</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>keine gewöhnliche Datei</translation>
    </message>
</context>
<context>
    <name>PassReminders</name>
    <message numerus="yes">
        <source>%1 rises in %n minute (max %2°).</source>
        <translation>
            <numerusform>%1 geht in %n Minute auf (max. %2°).</numerusform>
            <numerusform>%1 geht in %n Minuten auf (max. %2°).</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 rises in %n minutes (max %2°).</source>
        <translation>
            <numerusform>%1 geht in %n Minute auf (max. %2°).</numerusform>
            <numerusform>%1 geht in %n Minuten auf (max. %2°).</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>PassesModel</name>
    <message>
        <source>yes</source>
        <translation>ja</translation>
    </message>
    <message>
        <source>no</source>
        <translation>nein</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Rise (UTC)</source>
        <translation>Aufgang (UTC)</translation>
    </message>
    <message>
        <source>Culmination (UTC)</source>
        <translation>Kulmination (UTC)</translation>
    </message>
    <message>
        <source>Max alt (deg)</source>
        <translation>Max. Höhe (°)</translation>
    </message>
    <message>
        <source>Set (UTC)</source>
        <translation>Untergang (UTC)</translation>
    </message>
    <message>
        <source>Sunlit</source>
        <translation>Besonnt</translation>
    </message>
    <message>
        <source>Visible</source>
        <translation>Sichtbar</translation>
    </message>
    <message>
        <source>Mag</source>
        <translation>Mag</translation>
    </message>
</context>
<context>
    <name>PassesPanel</name>
    <message>
        <source>Visible only</source>
        <translation>Nur sichtbare</translation>
    </message>
    <message>
        <source>Passes that begin after sunset and end before sunrise</source>
        <translation>Überflüge, die nach Sonnenuntergang beginnen und vor Sonnenaufgang enden</translation>
    </message>
    <message>
        <source>Tonight only</source>
        <translation>Nur heute Nacht</translation>
    </message>
    <message>
        <source>Search ahead:</source>
        <translation>Vorausschau:</translation>
    </message>
    <message>
        <source> h</source>
        <translation> h</translation>
    </message>
    <message>
        <source>Only passes of a known magnitude brighter than this at culmination</source>
        <translation>Nur Überflüge bekannter Helligkeit, die im höchsten Punkt heller als diese sind</translation>
    </message>
    <message>
        <source>Brighter than</source>
        <translation>Heller als</translation>
    </message>
    <message>
        <source>Passes</source>
        <translation>Überflüge</translation>
    </message>
    <message>
        <source>Transits</source>
        <translation>Transite</translation>
    </message>
    <message>
        <source>Remind me</source>
        <translation>Erinnern</translation>
    </message>
    <message>
        <source>How much of the hours ahead the search has covered</source>
        <translation>Wie viel der kommenden Stunden die Suche schon abgedeckt hat</translation>
    </message>
    <message>
        <source>Stop this search of the hours ahead</source>
        <translation>Diese Suche in den kommenden Stunden abbrechen</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Export centre line...</source>
        <translation>Zentrallinie exportieren...</translation>
    </message>
</context>
<context>
    <name>PlannerDock</name>
    <message>
        <source>Passes</source>
        <translation>Überflüge</translation>
    </message>
    <message numerus="yes">
        <source>Read %n standard magnitude from %1.</source>
        <translation>
            <numerusform>%n Standardhelligkeit aus %1 gelesen.</numerusform>
            <numerusform>%n Standardhelligkeiten aus %1 gelesen.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Read %n standard magnitudes from %1.</source>
        <translation>
            <numerusform>%n Standardhelligkeit aus %1 gelesen.</numerusform>
            <numerusform>%n Standardhelligkeiten aus %1 gelesen.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>PreferencesDialog</name>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Element sets shown at most:</source>
        <translation>Höchstens angezeigte Elementsätze:</translation>
    </message>
    <message>
        <source>The first sets of the catalogue file, 1 to 50,000. More sets take more time at every refresh of the table and of the pass planner.</source>
        <translation>Die ersten Sätze der Katalogdatei, 1 bis 50.000. Mehr Sätze kosten bei jeder Aktualisierung der Tabelle und des Überflugplaners mehr Zeit.</translation>
    </message>
    <message>
        <source>Search passes ahead:</source>
        <translation>Überflüge vorausberechnen:</translation>
    </message>
    <message>
        <source> h</source>
        <translation> h</translation>
    </message>
    <message>
        <source>Remind of a pass before its rise:</source>
        <translation>An einen Überflug erinnern vor seinem Aufgang:</translation>
    </message>
    <message>
        <source> min</source>
        <translation> min</translation>
    </message>
    <message>
        <source>Magnitude file:</source>
        <translation>Helligkeitsdatei:</translation>
    </message>
    <message>
        <source>none</source>
        <translation>keine</translation>
    </message>
    <message>
        <source>Standard magnitudes for the planner&apos;s &quot;Mag&quot; column: a catalogue number and a magnitude a line</source>
        <translation>Standardhelligkeiten für die Spalte „Mag“ des Planers: eine Katalognummer und eine Helligkeit je Zeile</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>Durchsuchen...</translation>
    </message>
    <message>
        <source>Time server:</source>
        <translation>Zeitserver:</translation>
    </message>
    <message>
        <source>none: no check</source>
        <translation>keiner: keine Prüfung</translation>
    </message>
    <message>
        <source>A name or address, with :PORT for another port than 123; used from the next start</source>
        <translation>Ein Name oder eine Adresse, mit :PORT für einen anderen Port als 123; gilt ab dem nächsten Start</translation>
    </message>
    <message>
        <source>Update from the sources at start:</source>
        <translation>Beim Start aus den Quellen aktualisieren:</translation>
    </message>
    <message>
        <source>never</source>
        <translation>nie</translation>
    </message>
    <message>
        <source>When the catalogue file is older than this many days</source>
        <translation>Wenn die Katalogdatei älter als so viele Tage ist</translation>
    </message>
    <message>
        <source>Time table source:</source>
        <translation>Quelle der Zeittabelle:</translation>
    </message>
    <message>
        <source>none: no refresh</source>
        <translation>keine: keine Auffrischung</translation>
    </message>
    <message>
        <source>The http or https URL of the IERS&apos;s finals2000A file, which keeps the Earth&apos;s rotation current; asked at most once a week, from the next start</source>
        <translation>Die http- oder https-URL der finals2000A-Datei des IERS, die die Erdrotation aktuell hält; höchstens einmal pro Woche abgefragt, ab dem nächsten Start</translation>
    </message>
    <message>
        <source> days</source>
        <translation> Tage</translation>
    </message>
    <message>
        <source>Magnitude file</source>
        <translation>Helligkeitsdatei</translation>
    </message>
    <message>
        <source>Text files (*.txt *.dat *.csv);;All files (*)</source>
        <translation>Textdateien (*.txt *.dat *.csv);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Element sets shown: give a whole number from 1 to %1.</source>
        <translation>Angezeigte Elementsätze: Geben Sie eine ganze Zahl von 1 bis %1 an.</translation>
    </message>
    <message>
        <source>Search passes ahead: give a whole number of hours from %1 to %2.</source>
        <translation>Überflüge vorausberechnen: Geben Sie eine ganze Zahl von Stunden von %1 bis %2 an.</translation>
    </message>
    <message>
        <source>Remind of a pass: give a whole number of minutes from 1 to %1.</source>
        <translation>An einen Überflug erinnern: Geben Sie eine ganze Zahl von Minuten von 1 bis %1 an.</translation>
    </message>
    <message>
        <source>Update from the sources: give a whole number of days from 0 (never) to %1.</source>
        <translation>Aus den Quellen aktualisieren: Geben Sie eine ganze Zahl von Tagen von 0 (nie) bis %1 an.</translation>
    </message>
    <message>
        <source>The magnitude file %1 does not exist.</source>
        <translation>Die Helligkeitsdatei %1 existiert nicht.</translation>
    </message>
    <message>
        <source>The magnitude file %1 is not a regular file.</source>
        <translation>Die Helligkeitsdatei %1 ist keine gewöhnliche Datei.</translation>
    </message>
    <message>
        <source>The magnitude file %1 is larger than %2 MiB.</source>
        <translation>Die Helligkeitsdatei %1 ist größer als %2 MiB.</translation>
    </message>
    <message>
        <source>Cannot read the magnitude file %1 (%2).</source>
        <translation>Die Helligkeitsdatei %1 kann nicht gelesen werden (%2).</translation>
    </message>
    <message>
        <source>Magnitude file %1, line %2: not a catalogue number and a magnitude.</source>
        <translation>Helligkeitsdatei %1, Zeile %2: keine Katalognummer und Helligkeit.</translation>
    </message>
    <message>
        <source>Time server: %1 is neither a host name nor an address.</source>
        <translation>Zeitserver: %1 ist weder ein Rechnername noch eine Adresse.</translation>
    </message>
    <message>
        <source>Time server: &quot;%1&quot; is not a port; give a number from 1 to 65535 after the colon.</source>
        <translation>Zeitserver: „%1“ ist kein Port; geben Sie nach dem Doppelpunkt eine Zahl von 1 bis 65535 an.</translation>
    </message>
    <message>
        <source>Time table source: %1 is not a URL.</source>
        <translation>Quelle der Zeittabelle: %1 ist keine URL.</translation>
    </message>
    <message>
        <source>Time table source: %1 is not an http or https URL; give the address of a finals2000A file, such as %2, or nothing for no refresh.</source>
        <translation>Quelle der Zeittabelle: %1 ist keine http- oder https-URL; geben Sie die Adresse einer finals2000A-Datei an, etwa %2, oder nichts für keine Auffrischung.</translation>
    </message>
    <message>
        <source>Time table source: %1 names no host.</source>
        <translation>Quelle der Zeittabelle: %1 nennt keinen Rechner.</translation>
    </message>
</context>
<context>
    <name>SatelliteTableModel</name>
    <message>
        <source>yes</source>
        <translation>ja</translation>
    </message>
    <message>
        <source>no</source>
        <translation>nein</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Altitude (deg)</source>
        <translation>Höhe (°)</translation>
    </message>
    <message>
        <source>Azimuth (deg)</source>
        <translation>Azimut (°)</translation>
    </message>
    <message>
        <source>Distance (km)</source>
        <translation>Entfernung (km)</translation>
    </message>
    <message>
        <source>Speed (deg/s)</source>
        <translation>Geschw. (°/s)</translation>
    </message>
    <message>
        <source>Age (d)</source>
        <translation>Alter (d)</translation>
    </message>
    <message>
        <source>Sunlit</source>
        <translation>Besonnt</translation>
    </message>
    <message>
        <source>Decayed or invalid elements.</source>
        <translation>Verglühte oder ungültige Bahnelemente.</translation>
    </message>
</context>
<context>
    <name>Settings</name>
    <message>
        <source>The settings hold %1 pass reminders; the first %2 are read.</source>
        <translation>Die Einstellungen enthalten %1 Überflug-Erinnerungen; die ersten %2 werden gelesen.</translation>
    </message>
</context>
<context>
    <name>SiteChoice</name>
    <message>
        <source>%1 The horizon stays flat.</source>
        <translation>%1 Der Horizont bleibt flach.</translation>
    </message>
    <message>
        <source>The mount&apos;s site is %1 km from %2.</source>
        <translation>Der Standort der Montierung ist %1 km von %2 entfernt.</translation>
    </message>
</context>
<context>
    <name>SkyPlot</name>
    <message>
        <source>N</source>
        <translation>N</translation>
    </message>
    <message>
        <source>E</source>
        <translation>O</translation>
    </message>
    <message>
        <source>S</source>
        <translation>S</translation>
    </message>
    <message>
        <source>W</source>
        <translation>W</translation>
    </message>
    <message>
        <source>Rise</source>
        <translation>Aufgang</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>Untergang</translation>
    </message>
    <message>
        <source>Sun</source>
        <translation>Sonne</translation>
    </message>
    <message>
        <source>Moon</source>
        <translation>Mond</translation>
    </message>
</context>
<context>
    <name>SntpClockCheck</name>
    <message>
        <source>The time server %1 asked not to be asked again (%2): this computer&apos;s clock is not checked until the next start.</source>
        <translation>Der Zeitserver %1 hat gebeten, nicht mehr gefragt zu werden (%2): Die Uhr dieses Computers wird bis zum nächsten Start nicht geprüft.</translation>
    </message>
    <message>
        <source>This computer&apos;s clock is off by %1 s: every position is off by that much time.</source>
        <translation>Die Uhr dieses Computers weicht um %1 s ab: Jede Position ist um so viel Zeit versetzt.</translation>
    </message>
    <message>
        <source>The time server %1 did not answer within %2 s: this computer&apos;s clock is checked again in %3 min.</source>
        <translation>Der Zeitserver %1 hat nicht innerhalb von %2 s geantwortet: Die Uhr dieses Computers wird in %3 min erneut geprüft.</translation>
    </message>
    <message>
        <source>the name has no address</source>
        <translation>der Name hat keine Adresse</translation>
    </message>
    <message>
        <source>The time server %1 says it sent its reply before it received the query: the reply is not used, and this computer&apos;s clock is checked again in %2 min.</source>
        <translation>Der Zeitserver %1 gibt an, seine Antwort vor dem Empfang der Anfrage gesendet zu haben: Die Antwort wird nicht verwendet, und die Uhr dieses Computers wird in %2 min erneut geprüft.</translation>
    </message>
    <message>
        <source>The time server %1 took longer to answer than the query and reply took together: the reply is not used, and this computer&apos;s clock is checked again in %2 min.</source>
        <translation>Der Zeitserver %1 brauchte für seine Antwort länger als Anfrage und Antwort zusammen: Die Antwort wird nicht verwendet, und die Uhr dieses Computers wird in %2 min erneut geprüft.</translation>
    </message>
    <message>
        <source>The time server %1 says this computer&apos;s clock is off by %2 s; asking again to confirm.</source>
        <translation>Der Zeitserver %1 gibt an, dass die Uhr dieses Computers um %2 s abweicht; zur Bestätigung wird erneut gefragt.</translation>
    </message>
    <message>
        <source>The time server %1 said this computer&apos;s clock is off by %2 s, then %3 s: neither is used, and the clock is checked again in %4 min.</source>
        <translation>Der Zeitserver %1 gab an, dass die Uhr dieses Computers um %2 s, dann um %3 s abweicht: Keines von beiden wird verwendet, und die Uhr wird in %4 min erneut geprüft.</translation>
    </message>
    <message>
        <source>the query to port %1 was refused</source>
        <translation>die Anfrage an Port %1 wurde abgewiesen</translation>
    </message>
    <message>
        <source>The time server %1 could not be reached (%2): this computer&apos;s clock is checked again in %3 min.</source>
        <translation>Der Zeitserver %1 war nicht erreichbar (%2): Die Uhr dieses Computers wird in %3 min erneut geprüft.</translation>
    </message>
</context>
<context>
    <name>TimeTableUpdater</name>
    <message>
        <source>the file ends in the middle of a line</source>
        <translation>die Datei endet mitten in einer Zeile</translation>
    </message>
    <message>
        <source>line %1: the date, MJD or UT1-UTC columns cannot be read</source>
        <translation>Zeile %1: Die Spalten für Datum, MJD oder UT1-UTC sind nicht lesbar</translation>
    </message>
    <message>
        <source>line %1: the date is not that of MJD %2</source>
        <translation>Zeile %1: Das Datum ist nicht das von MJD %2</translation>
    </message>
    <message>
        <source>line %1: MJD %2 does not follow the line before</source>
        <translation>Zeile %1: MJD %2 folgt nicht auf die vorige Zeile</translation>
    </message>
    <message>
        <source>line %1: UT1-UTC of %2 s is out of range</source>
        <translation>Zeile %1: UT1-UTC von %2 s liegt außerhalb des Bereichs</translation>
    </message>
    <message>
        <source>line %1: observed values after predicted ones</source>
        <translation>Zeile %1: beobachtete Werte nach vorhergesagten</translation>
    </message>
    <message>
        <source>line %1: values after rows without them</source>
        <translation>Zeile %1: Werte nach Zeilen ohne Werte</translation>
    </message>
    <message>
        <source>%1 observed days, at least %2 are needed</source>
        <translation>%1 beobachtete Tage, mindestens %2 sind nötig</translation>
    </message>
    <message>
        <source>the observed values end on %1, which cannot be right</source>
        <translation>die beobachteten Werte enden am %1, was nicht stimmen kann</translation>
    </message>
    <message>
        <source>the file starts on %1, before the leap-second history</source>
        <translation>die Datei beginnt am %1, vor der Schaltsekunden-Historie</translation>
    </message>
    <message>
        <source>UT1-UTC jumps by %1 s on %2</source>
        <translation>UT1-UTC springt am %2 um %1 s</translation>
    </message>
    <message>
        <source>UT1-UTC does not step at the leap second of %1</source>
        <translation>UT1-UTC springt nicht bei der Schaltsekunde vom %1</translation>
    </message>
    <message>
        <source>The time table from %1 holds nothing newer than %2.</source>
        <translation>Die Zeittabelle von %1 enthält nichts Neueres als %2.</translation>
    </message>
    <message>
        <source>Time table updated to %1.</source>
        <translation>Zeittabelle aktualisiert bis %1.</translation>
    </message>
</context>
<context>
    <name>TleSourcesDialog</name>
    <message>
        <source>TLE sources</source>
        <translation>TLE-Quellen</translation>
    </message>
    <message>
        <source>One URL per line: http, https or file (file:///path/to/sets.txt). &quot;Update from sources&quot; downloads them all and merges their element sets in this order. With no line, the default source is used. Each source may hold three-line TLEs or Orbit Mean-Elements Messages (OMM) as JSON, CSV, XML or KVN; the form is told from the content.</source>
        <translation>Eine URL pro Zeile: http, https oder file (file:///pfad/zu/saetzen.txt). „Aus Quellen aktualisieren“ lädt sie alle herunter und führt ihre Elementsätze in dieser Reihenfolge zusammen. Ohne Zeile wird die vorgegebene Quelle verwendet. Jede Quelle darf dreizeilige TLEs oder Orbit Mean-Elements Messages (OMM) als JSON, CSV, XML oder KVN enthalten; das Format wird am Inhalt erkannt.</translation>
    </message>
</context>
<context>
    <name>TrackingChart</name>
    <message>
        <source>RMS %1&quot;, peak %2&quot;</source>
        <translation>RMS %1&quot;, Spitze %2&quot;</translation>
    </message>
    <message>
        <source>Axis 1: %1</source>
        <translation>Achse 1: %1</translation>
    </message>
    <message>
        <source>Axis 2: %1</source>
        <translation>Achse 2: %1</translation>
    </message>
    <message>
        <source>%1 min</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
</context>
<context>
    <name>TrackingStatusPoll</name>
    <message>
        <source>No transit tracking requested</source>
        <translation>Keine Überflugverfolgung angefordert</translation>
    </message>
    <message>
        <source>Waiting for transit</source>
        <translation>Warte auf Überflug</translation>
    </message>
    <message>
        <source>Transit ended</source>
        <translation>Überflug beendet</translation>
    </message>
    <message>
        <source>Slewing to catch satellite</source>
        <translation>Schwenk zum Satelliten</translation>
    </message>
    <message>
        <source>Tracking satellite</source>
        <translation>Verfolge Satellit</translation>
    </message>
    <message>
        <source>Slewing to start of transit</source>
        <translation>Schwenk zum Beginn des Überflugs</translation>
    </message>
    <message>
        <source>Couldn&apos;t get axis tracking errors.</source>
        <translation>Die Nachführfehler der Achsen konnten nicht gelesen werden.</translation>
    </message>
    <message>
        <source>%1  errors: %2&quot;, %3&quot;</source>
        <translation>%1  Fehler: %2&quot;, %3&quot;</translation>
    </message>
    <message>
        <source>Waiting for transit: rises in %1:%2</source>
        <translation>Warte auf Überflug: Aufgang in %1:%2</translation>
    </message>
</context>
<context>
    <name>TransitChain</name>
    <message>
        <source>Selected %1.</source>
        <translation>%1 ausgewählt.</translation>
    </message>
    <message>
        <source>TLE has invalid format.</source>
        <translation>Das TLE hat ein ungültiges Format.</translation>
    </message>
    <message>
        <source>TLE has no passes now.</source>
        <translation>Für dieses TLE gibt es jetzt keinen Überflug.</translation>
    </message>
    <message>
        <source>Slew failed, mount is parked or blocked.</source>
        <translation>Schwenk fehlgeschlagen, die Montierung ist geparkt oder blockiert.</translation>
    </message>
    <message>
        <source>Transit already ended.</source>
        <translation>Der Überflug ist bereits vorbei.</translation>
    </message>
    <message>
        <source>Slewing to transiting TLE.</source>
        <translation>Schwenk zum überfliegenden Satelliten.</translation>
    </message>
    <message>
        <source>Slewing to start of transit.</source>
        <translation>Schwenk zum Beginn des Überflugs.</translation>
    </message>
    <message>
        <source>The element set of %1 has its catalogue number in the Alpha-5 form, which older firmware may not read.</source>
        <translation>Der Elementsatz von %1 hat seine Katalognummer in der Alpha-5-Form, die ältere Firmware möglicherweise nicht lesen kann.</translation>
    </message>
    <message>
        <source>The element set of %1 has a catalogue number above 339999, which no TLE can carry: the mount cannot take it.</source>
        <translation>Der Elementsatz von %1 hat eine Katalognummer über 339999, die kein TLE tragen kann: Die Montierung kann ihn nicht übernehmen.</translation>
    </message>
    <message>
        <source>Cannot move the epoch of %1 by %2 s: its first element line does not hold one in the usual columns. Nothing was uploaded.</source>
        <translation>Die Epoche von %1 kann nicht um %2 s verschoben werden: Ihre erste Elementzeile enthält keine in den üblichen Spalten. Es wurde nichts hochgeladen.</translation>
    </message>
    <message>
        <source>Uploading %1 with a time offset of %2 s.</source>
        <translation>%1 wird mit einem Zeitversatz von %2 s hochgeladen.</translation>
    </message>
</context>
<context>
    <name>TransitExporter</name>
    <message>
        <source>GeoJSON files (*.geojson)</source>
        <translation>GeoJSON-Dateien (*.geojson)</translation>
    </message>
    <message>
        <source>KML files (*.kml)</source>
        <translation>KML-Dateien (*.kml)</translation>
    </message>
    <message>
        <source>GPX files (*.gpx)</source>
        <translation>GPX-Dateien (*.gpx)</translation>
    </message>
    <message>
        <source>Export centre line</source>
        <translation>Zentrallinie exportieren</translation>
    </message>
    <message>
        <source>No centre line to export: where it passes nearest the site the body is below the horizon, or it misses the Earth.</source>
        <translation>Keine Zentrallinie zu exportieren: Wo sie dem Standort am nächsten kommt, steht der Himmelskörper unter dem Horizont, oder sie verfehlt die Erde.</translation>
    </message>
    <message>
        <source>Exported the centre line of %1 to %2.</source>
        <translation>Die Zentrallinie von %1 nach %2 exportiert.</translation>
    </message>
</context>
<context>
    <name>TransitsModel</name>
    <message>
        <source>Sun</source>
        <translation>Sonne</translation>
    </message>
    <message>
        <source>Moon</source>
        <translation>Mond</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Body</source>
        <translation>Himmelskörper</translation>
    </message>
    <message>
        <source>Time (UTC)</source>
        <translation>Zeit (UTC)</translation>
    </message>
    <message>
        <source>Separation (&quot;)</source>
        <translation>Abstand (&quot;)</translation>
    </message>
    <message>
        <source>Body radius (&quot;)</source>
        <translation>Radius des Körpers (&quot;)</translation>
    </message>
    <message>
        <source>Duration (s)</source>
        <translation>Dauer (s)</translation>
    </message>
    <message>
        <source>Altitude (deg)</source>
        <translation>Höhe (°)</translation>
    </message>
    <message>
        <source>Azimuth (deg)</source>
        <translation>Azimut (°)</translation>
    </message>
    <message>
        <source>Distance (km)</source>
        <translation>Entfernung (km)</translation>
    </message>
    <message>
        <source>Centre line (km)</source>
        <translation>Zentrallinie (km)</translation>
    </message>
    <message>
        <source>Centre line azimuth (deg)</source>
        <translation>Azimut der Zentrallinie (°)</translation>
    </message>
    <message>
        <source>Mag</source>
        <translation>Mag</translation>
    </message>
</context>
<context>
    <name>UpdateSettings</name>
    <message>
        <source>The settings hold %1 update sources; the first %2 are read.</source>
        <translation>Die Einstellungen enthalten %1 Aktualisierungsquellen; die ersten %2 werden gelesen.</translation>
    </message>
</context>
<context>
    <name>WorldOutline</name>
    <message numerus="yes">
        <source>The map&apos;s outline is larger than %n bytes.</source>
        <translation>
            <numerusform>Die Umrisse der Karte sind größer als %n Byte.</numerusform>
            <numerusform>Die Umrisse der Karte sind größer als %n Byte.</numerusform>
        </translation>
    </message>
    <message>
        <source>The map&apos;s outline is not an outline file of a known version.</source>
        <translation>Die Umrisse der Karte sind keine Umrissdatei einer bekannten Version.</translation>
    </message>
    <message>
        <source>The map&apos;s outline has a header out of range.</source>
        <translation>Der Kopf der Kartenumrisse liegt außerhalb des gültigen Bereichs.</translation>
    </message>
    <message>
        <source>The map&apos;s outline ends within line %1.</source>
        <translation>Die Umrisse der Karte enden mitten in Linie %1.</translation>
    </message>
    <message>
        <source>The map&apos;s outline has a line %1 out of range.</source>
        <translation>Die Umrisse der Karte haben eine Linie %1 außerhalb des gültigen Bereichs.</translation>
    </message>
    <message>
        <source>The map&apos;s outline has a point off the Earth in line %1.</source>
        <translation>Die Umrisse der Karte haben in Linie %1 einen Punkt außerhalb der Erde.</translation>
    </message>
    <message numerus="yes">
        <source>The map&apos;s outline has %n bytes after its last line.</source>
        <translation>
            <numerusform>Die Umrisse der Karte haben %n Byte nach ihrer letzten Linie.</numerusform>
            <numerusform>Die Umrisse der Karte haben %n Byte nach ihrer letzten Linie.</numerusform>
        </translation>
    </message>
    <message>
        <source>The map&apos;s outline is missing.</source>
        <translation>Die Umrisse der Karte fehlen.</translation>
    </message>
</context>
</TS>
