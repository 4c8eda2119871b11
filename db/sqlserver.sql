-- Molvera server database (Microsoft SQL Server 2012 or later). Created by
-- "molvera --init-db" on an empty database, in one transaction; each batch
-- ends with a GO line. Date-times are datetime2(0), texts nvarchar.

CREATE TABLE mv_molvera (
    ID                 bigint IDENTITY(1,1) PRIMARY KEY,
    Fecha              datetime2(0) NOT NULL,
    responsable        nvarchar(100),
    fecha_alta         datetime2(0),
    fecha_modificacion datetime2(0),
    Toneladas          float,
    vendedor           nvarchar(100),
    procedencia        nvarchar(100),
    camionero          nvarchar(100),
    humedo             float,
    seco               float,
    caracteristicas    nvarchar(100),
    fallingnumber      float,
    humedad            float,
    pesohect           float,
    silodestino        nvarchar(4),
    observaciones      nvarchar(max),
    modificado_por     nvarchar(50),
    merma              float,
    kg_netos           bigint,
    grado              nvarchar(20),
    reglas_version     int
);
GO

CREATE INDEX ix_mv_molvera_fecha ON mv_molvera (Fecha);
GO
CREATE INDEX ix_mv_molvera_silodestino ON mv_molvera (silodestino);
GO
CREATE INDEX ix_mv_molvera_vendedor ON mv_molvera (vendedor);
GO
CREATE INDEX ix_mv_molvera_procedencia ON mv_molvera (procedencia);
GO
CREATE INDEX ix_mv_molvera_camionero ON mv_molvera (camionero);
GO
CREATE INDEX ix_mv_molvera_caracteristicas ON mv_molvera (caracteristicas);
GO

-- A plain view over one table: SQL Server updates, inserts into and deletes
-- from it directly. It has no INSTEAD OF trigger, so that the id of a row
-- inserted through it is the identity of the table (OUTPUT INSERTED.ID INTO a
-- table variable: the table has triggers, so OUTPUT needs INTO).
CREATE VIEW v_mv_molvera AS
SELECT ID, Fecha, responsable, fecha_alta, fecha_modificacion, Toneladas, vendedor,
       procedencia, camionero, humedo, seco, caracteristicas, fallingnumber, humedad,
       pesohect, silodestino, observaciones, modificado_por, merma, kg_netos, grado,
       reglas_version
FROM mv_molvera;
GO

-- Change history of the intake rows: one row per column that an insert
-- gives a value, an update changes or a delete takes away, written by the
-- intake trigger below inside the statement that makes the change, so that a
-- change and its record are kept or lost together. The operator is the one
-- the writing statement names in mv_molvera.modificado_por (the program sets
-- it with every insert and update, and just before a delete). Values are kept
-- as text; the time is the server's clock.
CREATE TABLE mv_molvera_historial (
    ID             bigint IDENTITY(1,1) PRIMARY KEY,
    id_registro    bigint NOT NULL,
    fecha_cambio   datetime2(0) NOT NULL,
    usuario        nvarchar(50),
    operacion      nvarchar(12) NOT NULL,
    campo          nvarchar(30),
    valor_anterior nvarchar(max),
    valor_nuevo    nvarchar(max)
);
GO

CREATE INDEX ix_mv_molvera_historial_registro ON mv_molvera_historial (id_registro);
GO

-- Tonnes received per destination silo, kept by the trigger below in the
-- same transaction as the change of the intake rows. Kept in grams (whole
-- numbers) so that the figure never drifts from the sum of the rows and
-- equals it for tonnes given to the gram (six decimals); "cargas" counts the
-- rows with tonnes, so a silo without any reads NULL. The grams are a 64-bit
-- whole number (up to 9,223,372,036,854 tonnes a silo).
CREATE TABLE mv_molvera_silo_total (
    silodestino nvarchar(4) PRIMARY KEY,
    gramos      bigint NOT NULL DEFAULT 0,
    cargas      int NOT NULL DEFAULT 0
);
GO

-- Quality of what each silo received: for humidity, hectolitre weight and
-- falling number, the grams of the loads with that reading and the sum
-- of grams times the reading in hundredths, kept by the intake trigger
-- below in the same transaction as the change of the intake rows (whole
-- numbers, so that they never drift). The average reading of a silo,
-- weighted by tonnes, is the second figure over the first, over 100. Loads
-- with tonnes only; a reading of 0 is one not taken.
CREATE TABLE mv_molvera_silo_calidad (
    silodestino     nvarchar(4) PRIMARY KEY,
    gramos_humedad  bigint NOT NULL DEFAULT 0,
    humedad_gramos  bigint NOT NULL DEFAULT 0,
    gramos_pesohect bigint NOT NULL DEFAULT 0,
    pesohect_gramos bigint NOT NULL DEFAULT 0,
    gramos_falling  bigint NOT NULL DEFAULT 0,
    falling_gramos  bigint NOT NULL DEFAULT 0
);
GO

-- One trigger for the three changes: it records the change history, keeps
-- the silos' quality sums, and the rows before the change (deleted) are taken
-- off their silos and the rows
-- after it (inserted) put on theirs, as one MERGE under a range lock, so that
-- workstations writing at the same time never lose a change.
CREATE TRIGGER tr_mv_molvera_total ON mv_molvera AFTER INSERT, UPDATE, DELETE
AS
BEGIN
    SET NOCOUNT ON;
    -- The change history first, for every change of the rows.
    INSERT INTO mv_molvera_historial (id_registro, fecha_cambio, usuario, operacion, campo,
                                      valor_anterior, valor_nuevo)
    SELECT COALESCE(i.ID, d.ID), CAST(SYSDATETIME() AS datetime2(0)),
           CASE WHEN i.ID IS NULL THEN d.modificado_por ELSE i.modificado_por END,
           CASE WHEN d.ID IS NULL THEN N'ALTA' WHEN i.ID IS NULL THEN N'BAJA'
                ELSE N'MODIFICACION' END,
           c.campo, c.anterior, c.nuevo
    FROM inserted AS i
    FULL OUTER JOIN deleted AS d ON d.ID = i.ID
    CROSS APPLY (VALUES
                (N'fecha', CONVERT(nvarchar(40), d.fecha, 120),
                 CONVERT(nvarchar(40), i.fecha, 120)),
                (N'responsable', CAST(d.responsable AS nvarchar(max)),
                 CAST(i.responsable AS nvarchar(max))),
                (N'toneladas', CONVERT(nvarchar(40), CAST(d.toneladas AS decimal(19, 6))),
                 CONVERT(nvarchar(40), CAST(i.toneladas AS decimal(19, 6)))),
                (N'vendedor', CAST(d.vendedor AS nvarchar(max)),
                 CAST(i.vendedor AS nvarchar(max))),
                (N'procedencia', CAST(d.procedencia AS nvarchar(max)),
                 CAST(i.procedencia AS nvarchar(max))),
                (N'camionero', CAST(d.camionero AS nvarchar(max)),
                 CAST(i.camionero AS nvarchar(max))),
                (N'humedo', CONVERT(nvarchar(40), CAST(d.humedo AS decimal(19, 6))),
                 CONVERT(nvarchar(40), CAST(i.humedo AS decimal(19, 6)))),
                (N'seco', CONVERT(nvarchar(40), CAST(d.seco AS decimal(19, 6))),
                 CONVERT(nvarchar(40), CAST(i.seco AS decimal(19, 6)))),
                (N'caracteristicas', CAST(d.caracteristicas AS nvarchar(max)),
                 CAST(i.caracteristicas AS nvarchar(max))),
                (N'fallingnumber', CONVERT(nvarchar(40), CAST(d.fallingnumber AS decimal(19, 6))),
                 CONVERT(nvarchar(40), CAST(i.fallingnumber AS decimal(19, 6)))),
                (N'humedad', CONVERT(nvarchar(40), CAST(d.humedad AS decimal(19, 6))),
                 CONVERT(nvarchar(40), CAST(i.humedad AS decimal(19, 6)))),
                (N'pesohect', CONVERT(nvarchar(40), CAST(d.pesohect AS decimal(19, 6))),
                 CONVERT(nvarchar(40), CAST(i.pesohect AS decimal(19, 6)))),
                (N'silodestino', CAST(d.silodestino AS nvarchar(max)),
                 CAST(i.silodestino AS nvarchar(max))),
                (N'observaciones', CAST(d.observaciones AS nvarchar(max)),
                 CAST(i.observaciones AS nvarchar(max))),
                (N'merma', CONVERT(nvarchar(40), CAST(d.merma AS decimal(19, 6))),
                 CONVERT(nvarchar(40), CAST(i.merma AS decimal(19, 6)))),
                (N'kg_netos', CONVERT(nvarchar(40), d.kg_netos),
                 CONVERT(nvarchar(40), i.kg_netos)),
                (N'grado', CAST(d.grado AS nvarchar(max)), CAST(i.grado AS nvarchar(max))),
                (N'reglas_version', CONVERT(nvarchar(40), d.reglas_version),
                 CONVERT(nvarchar(40), i.reglas_version))
    ) AS c (campo, anterior, nuevo)
    WHERE (c.anterior IS NULL AND c.nuevo IS NOT NULL)
       OR (c.anterior IS NOT NULL AND c.nuevo IS NULL)
       OR c.anterior <> c.nuevo COLLATE Latin1_General_BIN2;
    -- The quality of what each silo received, when readings, tonnes or silo
    -- change.
    IF NOT (EXISTS (SELECT 1 FROM inserted) AND EXISTS (SELECT 1 FROM deleted))
       OR UPDATE(Toneladas) OR UPDATE(silodestino) OR UPDATE(humedad) OR UPDATE(pesohect)
       OR UPDATE(fallingnumber)
    MERGE mv_molvera_silo_calidad WITH (HOLDLOCK) AS t
    USING (
        SELECT c.silodestino, SUM(c.gramos_humedad) AS gramos_humedad,
               SUM(c.humedad_gramos) AS humedad_gramos, SUM(c.gramos_pesohect) AS gramos_pesohect,
               SUM(c.pesohect_gramos) AS pesohect_gramos, SUM(c.gramos_falling) AS gramos_falling,
               SUM(c.falling_gramos) AS falling_gramos
        FROM (
            SELECT d.silodestino,
                   -CASE WHEN d.humedad > 0 THEN CAST(ROUND(CAST(d.Toneladas AS decimal(19, 6)) * 1000000, 0) AS bigint) ELSE 0 END AS gramos_humedad,
                   -CASE WHEN d.humedad > 0 THEN CAST(ROUND(CAST(d.Toneladas AS decimal(19, 6)) * 1000000, 0) AS bigint)
                        * CAST(ROUND(CAST(d.humedad AS decimal(19, 6)) * 100, 0) AS bigint)
                        ELSE 0 END AS humedad_gramos,
                   -CASE WHEN d.pesohect > 0 THEN CAST(ROUND(CAST(d.Toneladas AS decimal(19, 6)) * 1000000, 0) AS bigint) ELSE 0 END AS gramos_pesohect,
                   -CASE WHEN d.pesohect > 0 THEN CAST(ROUND(CAST(d.Toneladas AS decimal(19, 6)) * 1000000, 0) AS bigint)
                        * CAST(ROUND(CAST(d.pesohect AS decimal(19, 6)) * 100, 0) AS bigint)
                        ELSE 0 END AS pesohect_gramos,
                   -CASE WHEN d.fallingnumber > 0 THEN CAST(ROUND(CAST(d.Toneladas AS decimal(19, 6)) * 1000000, 0) AS bigint) ELSE 0 END AS gramos_falling,
                   -CASE WHEN d.fallingnumber > 0 THEN CAST(ROUND(CAST(d.Toneladas AS decimal(19, 6)) * 1000000, 0) AS bigint)
                        * CAST(ROUND(CAST(d.fallingnumber AS decimal(19, 6)) * 100, 0) AS bigint)
                        ELSE 0 END AS falling_gramos
            FROM deleted AS d
            WHERE d.silodestino IS NOT NULL AND d.Toneladas > 0
            UNION ALL
            SELECT i.silodestino,
                   CASE WHEN i.humedad > 0 THEN CAST(ROUND(CAST(i.Toneladas AS decimal(19, 6)) * 1000000, 0) AS bigint) ELSE 0 END AS gramos_humedad,
                   CASE WHEN i.humedad > 0 THEN CAST(ROUND(CAST(i.Toneladas AS decimal(19, 6)) * 1000000, 0) AS bigint)
                        * CAST(ROUND(CAST(i.humedad AS decimal(19, 6)) * 100, 0) AS bigint)
                        ELSE 0 END AS humedad_gramos,
                   CASE WHEN i.pesohect > 0 THEN CAST(ROUND(CAST(i.Toneladas AS decimal(19, 6)) * 1000000, 0) AS bigint) ELSE 0 END AS gramos_pesohect,
                   CASE WHEN i.pesohect > 0 THEN CAST(ROUND(CAST(i.Toneladas AS decimal(19, 6)) * 1000000, 0) AS bigint)
                        * CAST(ROUND(CAST(i.pesohect AS decimal(19, 6)) * 100, 0) AS bigint)
                        ELSE 0 END AS pesohect_gramos,
                   CASE WHEN i.fallingnumber > 0 THEN CAST(ROUND(CAST(i.Toneladas AS decimal(19, 6)) * 1000000, 0) AS bigint) ELSE 0 END AS gramos_falling,
                   CASE WHEN i.fallingnumber > 0 THEN CAST(ROUND(CAST(i.Toneladas AS decimal(19, 6)) * 1000000, 0) AS bigint)
                        * CAST(ROUND(CAST(i.fallingnumber AS decimal(19, 6)) * 100, 0) AS bigint)
                        ELSE 0 END AS falling_gramos
            FROM inserted AS i
            WHERE i.silodestino IS NOT NULL AND i.Toneladas > 0
        ) AS c
        GROUP BY c.silodestino
    ) AS q
    ON t.silodestino = q.silodestino
    WHEN MATCHED THEN
        UPDATE SET gramos_humedad = t.gramos_humedad + q.gramos_humedad,
                   humedad_gramos = t.humedad_gramos + q.humedad_gramos,
                   gramos_pesohect = t.gramos_pesohect + q.gramos_pesohect,
                   pesohect_gramos = t.pesohect_gramos + q.pesohect_gramos,
                   gramos_falling = t.gramos_falling + q.gramos_falling,
                   falling_gramos = t.falling_gramos + q.falling_gramos
    WHEN NOT MATCHED BY TARGET THEN
        INSERT (silodestino, gramos_humedad, humedad_gramos, gramos_pesohect, pesohect_gramos,
                gramos_falling, falling_gramos)
        VALUES (q.silodestino, q.gramos_humedad, q.humedad_gramos, q.gramos_pesohect,
                q.pesohect_gramos, q.gramos_falling, q.falling_gramos);
    IF EXISTS (SELECT 1 FROM inserted) AND EXISTS (SELECT 1 FROM deleted)
       AND NOT (UPDATE(Toneladas) OR UPDATE(silodestino))
        RETURN;
    MERGE mv_molvera_silo_total WITH (HOLDLOCK) AS t
    USING (
        SELECT c.silodestino, SUM(c.gramos) AS gramos, SUM(c.cargas) AS cargas,
               SUM(CASE WHEN c.cargas > 0 THEN 1 ELSE 0 END) AS altas
        FROM (
            SELECT silodestino,
                   -CAST(ROUND(CAST(Toneladas AS decimal(19, 6)) * 1000000, 0) AS bigint) AS gramos,
                   -1 AS cargas
            FROM deleted
            WHERE silodestino IS NOT NULL AND Toneladas IS NOT NULL
            UNION ALL
            SELECT silodestino,
                   CAST(ROUND(CAST(Toneladas AS decimal(19, 6)) * 1000000, 0) AS bigint) AS gramos,
                   1 AS cargas
            FROM inserted
            WHERE silodestino IS NOT NULL AND Toneladas IS NOT NULL
        ) AS c
        GROUP BY c.silodestino
    ) AS s
    ON t.silodestino = s.silodestino
    WHEN MATCHED THEN
        UPDATE SET gramos = t.gramos + s.gramos, cargas = t.cargas + s.cargas
    WHEN NOT MATCHED BY TARGET AND s.altas > 0 THEN
        INSERT (silodestino, gramos, cargas) VALUES (s.silodestino, s.gramos, s.cargas);
END;
GO

-- Totals of the rows already there when the table is made (none in a new
-- database).
INSERT INTO mv_molvera_silo_total (silodestino, gramos, cargas)
SELECT silodestino, SUM(CAST(ROUND(CAST(Toneladas AS decimal(19, 6)) * 1000000, 0) AS bigint)),
       COUNT(Toneladas)
FROM mv_molvera
WHERE silodestino IS NOT NULL AND Toneladas IS NOT NULL
GROUP BY silodestino;
GO

-- The quality of the rows already there when the table is made.
INSERT INTO mv_molvera_silo_calidad (silodestino, gramos_humedad, humedad_gramos, gramos_pesohect,
                                     pesohect_gramos, gramos_falling, falling_gramos)
SELECT silodestino,
       SUM(CASE WHEN humedad > 0 THEN CAST(ROUND(CAST(Toneladas AS decimal(19, 6)) * 1000000, 0)
                AS bigint) ELSE 0 END),
       SUM(CASE WHEN humedad > 0 THEN CAST(ROUND(CAST(Toneladas AS decimal(19, 6)) * 1000000, 0)
                AS bigint) * CAST(ROUND(CAST(humedad AS decimal(19, 6)) * 100, 0) AS bigint)
                ELSE 0 END),
       SUM(CASE WHEN pesohect > 0 THEN CAST(ROUND(CAST(Toneladas AS decimal(19, 6)) * 1000000, 0)
                AS bigint) ELSE 0 END),
       SUM(CASE WHEN pesohect > 0 THEN CAST(ROUND(CAST(Toneladas AS decimal(19, 6)) * 1000000, 0)
                AS bigint) * CAST(ROUND(CAST(pesohect AS decimal(19, 6)) * 100, 0) AS bigint)
                ELSE 0 END),
       SUM(CASE WHEN fallingnumber > 0 THEN CAST(ROUND(CAST(Toneladas AS decimal(19, 6)) * 1000000, 0)
                AS bigint) ELSE 0 END),
       SUM(CASE WHEN fallingnumber > 0 THEN CAST(ROUND(CAST(Toneladas AS decimal(19, 6)) * 1000000, 0)
                AS bigint) * CAST(ROUND(CAST(fallingnumber AS decimal(19, 6)) * 100, 0) AS bigint)
                ELSE 0 END)
FROM mv_molvera
WHERE silodestino IS NOT NULL AND Toneladas > 0
GROUP BY silodestino;
GO

CREATE TABLE ta_deposito (
    iddeposito  nvarchar(4) PRIMARY KEY,
    descripcion nvarchar(50),
    capacidad   float
);
GO

CREATE VIEW v_ta_deposito AS
SELECT iddeposito, descripcion, capacidad FROM ta_deposito;
GO

CREATE TABLE ta_configuracion (
    CLAVE nvarchar(50) PRIMARY KEY,
    VALOR nvarchar(255)
);
GO

CREATE TABLE ta_usuarios (
    nombre  nvarchar(50) PRIMARY KEY,
    sistema nvarchar(50)
);
GO

CREATE TABLE ta_provincias (
    DESCRIPCION nvarchar(60) PRIMARY KEY
);
GO

-- Starter rows.
INSERT INTO ta_deposito (iddeposito, descripcion, capacidad) VALUES
    (N'0001', N'Silo 1', 500), (N'0002', N'Silo 2', 800), (N'0003', N'Silo 3', 1000),
    (N'0004', N'Silo 4', 1200), (N'0005', N'Silo 5', 1500), (N'0006', N'Celda 6', 2000);
GO

INSERT INTO ta_configuracion (CLAVE, VALOR) VALUES (N'NOMBRE', N'Molino Harinero del Sur S.A.');
GO

-- Acceptance limits of the readings (common milling-wheat figures; the plant
-- changes them here). A reading beyond them is accepted and flagged; a key
-- that has no row is no limit. Keys already there are left as they are.
INSERT INTO ta_configuracion (CLAVE, VALOR)
SELECT l.clave, l.valor
FROM (SELECT N'LIMITE_HUMEDAD_MAX' AS clave, N'14.5' AS valor
      UNION ALL SELECT N'LIMITE_PESOHECT_MIN', N'76'
      UNION ALL SELECT N'LIMITE_FALLINGNUMBER_MIN', N'250'
      UNION ALL SELECT N'LIMITE_HUMEDO_MIN', N'25') AS l
WHERE NOT EXISTS (SELECT 1 FROM ta_configuracion c WHERE c.CLAVE = l.clave);
GO

INSERT INTO ta_usuarios (nombre, sistema) VALUES
    (N'ADMINISTRADOR', N'MOLVERA'), (N'OPERADOR', N'MOLVERA'), (N'LABORATORIO', N'MOLVERA');
GO

INSERT INTO ta_provincias (DESCRIPCION) VALUES
    (N'Buenos Aires'), (N'Catamarca'), (N'Chaco'), (N'Chubut'),
    (N'Ciudad Autónoma de Buenos Aires'), (N'Córdoba'), (N'Corrientes'), (N'Entre Ríos'),
    (N'Formosa'), (N'Jujuy'), (N'La Pampa'), (N'La Rioja'), (N'Mendoza'), (N'Misiones'),
    (N'Neuquén'), (N'Río Negro'), (N'Salta'), (N'San Juan'), (N'San Luis'), (N'Santa Cruz'),
    (N'Santa Fe'), (N'Santiago del Estero'), (N'Tierra del Fuego'), (N'Tucumán');
GO

-- Each weighing taken from the truck scale (tipo BRUTO or TARA, in kilograms,
-- with the line the scale sent, the workstation and the operator), written in
-- the same transaction as the tonnes it gives the row.
CREATE TABLE mv_molvera_pesada (
    ID          bigint IDENTITY(1,1) PRIMARY KEY,
    id_registro bigint NOT NULL,
    tipo        nvarchar(5) NOT NULL CHECK (tipo IN (N'BRUTO', N'TARA')),
    kilos       float NOT NULL,
    fecha       datetime2(0) NOT NULL,
    estacion    nvarchar(100),
    instrumento nvarchar(100),
    linea       nvarchar(255),
    usuario     nvarchar(50)
);
GO

CREATE INDEX ix_mv_molvera_pesada_registro ON mv_molvera_pesada (id_registro);
GO

-- Each taking of the grain analyzer's readings into a row (F11): the values
-- written (NULL for one the analyzer did not give or the sheet refused), the
-- line the analyzer sent, when, the workstation and the operator.
CREATE TABLE mv_molvera_lectura (
    ID            bigint IDENTITY(1,1) PRIMARY KEY,
    id_registro   bigint NOT NULL,
    fecha         datetime2(0) NOT NULL,
    humedo        float,
    seco          float,
    fallingnumber float,
    humedad       float,
    pesohect      float,
    estacion      nvarchar(100),
    instrumento   nvarchar(100),
    linea         nvarchar(255),
    usuario       nvarchar(50)
);
GO

CREATE INDEX ix_mv_molvera_lectura_registro ON mv_molvera_lectura (id_registro);
GO

-- A weighing or an analyzer reading, once written, is neither changed nor
-- deleted: the triggers below refuse both (a TRUNCATE fires no trigger: grant
-- the desks' login no ALTER on these tables). A load that is deleted keeps
-- them; its deletion in the change history names each one (operation BAJA,
-- field "pesada" or "lectura").
CREATE TRIGGER tr_mv_molvera_pesada_fija ON mv_molvera_pesada AFTER UPDATE, DELETE
AS
BEGIN
    SET NOCOUNT ON;
    THROW 50001, N'Una pesada registrada no se modifica ni se borra.', 1;
END;
GO

CREATE TRIGGER tr_mv_molvera_lectura_fija ON mv_molvera_lectura AFTER UPDATE, DELETE
AS
BEGIN
    SET NOCOUNT ON;
    THROW 50001, N'Una lectura del analizador registrada no se modifica ni se borra.', 1;
END;
GO

CREATE TRIGGER tr_mv_molvera_baja_pesadas ON mv_molvera AFTER DELETE
AS
BEGIN
    SET NOCOUNT ON;
    INSERT INTO mv_molvera_historial (id_registro, fecha_cambio, usuario, operacion, campo,
                                      valor_anterior, valor_nuevo)
    SELECT d.ID, CAST(SYSDATETIME() AS datetime2(0)), d.modificado_por, N'BAJA', N'pesada',
           p.tipo + N' ' + CONVERT(nvarchar(40), CAST(p.kilos AS decimal(19, 3))) +
           N' kg (pesada ' + CONVERT(nvarchar(20), p.ID) + N', ' +
           CONVERT(nvarchar(40), p.fecha, 120) + N')', NULL
    FROM deleted AS d
    JOIN mv_molvera_pesada AS p ON p.id_registro = d.ID;
    INSERT INTO mv_molvera_historial (id_registro, fecha_cambio, usuario, operacion, campo,
                                      valor_anterior, valor_nuevo)
    SELECT d.ID, CAST(SYSDATETIME() AS datetime2(0)), d.modificado_por, N'BAJA', N'lectura',
           COALESCE(l.linea, N'') + N' (lectura ' + CONVERT(nvarchar(20), l.ID) + N', ' +
           CONVERT(nvarchar(40), l.fecha, 120) + N')', NULL
    FROM deleted AS d
    JOIN mv_molvera_lectura AS l ON l.id_registro = d.ID;
END;
GO

-- The plant's settlement rules (see db/sqlite.sql, section "settlement"): the
-- moisture rules, the optional published shrink table, the grades' limits and
-- the sellers; every change of the rules raises ta_liquidacion.version.
CREATE TABLE ta_liquidacion (
    id         int PRIMARY KEY CHECK (id = 1),
    tolerancia float NOT NULL,
    base       float NOT NULL,
    manipuleo  float NOT NULL,
    version    int NOT NULL DEFAULT 1
);
GO

INSERT INTO ta_liquidacion (id, tolerancia, base, manipuleo, version)
VALUES (1, 14.0, 13.5, 0.25, 1);
GO

CREATE TABLE ta_merma_tabla (
    humedad float PRIMARY KEY,
    merma   float NOT NULL
);
GO

CREATE TABLE ta_grado (
    grado             int PRIMARY KEY CHECK (grado IN (1, 2, 3)),
    pesohect_min      float,
    humedad_max       float,
    fallingnumber_min float,
    humedo_min        float
);
GO

CREATE TABLE ta_vendedor (
    nombre nvarchar(100) PRIMARY KEY,
    cuit   nvarchar(11)
);
GO

CREATE TRIGGER tr_ta_merma_tabla_version ON ta_merma_tabla FOR INSERT, UPDATE, DELETE
AS
BEGIN
    SET NOCOUNT ON;
    UPDATE ta_liquidacion SET version = version + 1;
END;
GO

CREATE TRIGGER tr_ta_grado_version ON ta_grado FOR INSERT, UPDATE, DELETE
AS
BEGIN
    SET NOCOUNT ON;
    UPDATE ta_liquidacion SET version = version + 1;
END;
GO

CREATE TRIGGER tr_ta_liquidacion_version ON ta_liquidacion AFTER UPDATE
AS
BEGIN
    SET NOCOUNT ON;
    IF UPDATE(tolerancia) OR UPDATE(base) OR UPDATE(manipuleo)
        UPDATE ta_liquidacion SET version = version + 1;
END;
GO

CREATE VIEW v_mv_molvera_liquidacion AS
SELECT m.ID, m.Fecha, m.vendedor, v.cuit, m.Toneladas, m.humedad, m.merma, m.kg_netos,
       m.grado, m.reglas_version
FROM mv_molvera m LEFT JOIN ta_vendedor v ON v.nombre = m.vendedor
WHERE m.Toneladas > 0 OR m.vendedor IS NOT NULL;
GO

-- The schema version of this database: the program brings an older one up to
-- date when it starts and refuses one newer than itself.
CREATE TABLE mv_molvera_version (
    version INTEGER NOT NULL
);
GO

INSERT INTO mv_molvera_version (version) VALUES (6);
